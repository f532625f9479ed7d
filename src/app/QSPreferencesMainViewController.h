#pragma once

#include <QWidget>

// A pane of the preferences window: shows some settings, stores each as the user
// changes it, and writes them all back when the window closes.
class QSPreferencesMainViewController : public QWidget
{
    Q_OBJECT

public:
    using QWidget::QWidget;
    virtual void savePreferences();

    // The short name on the pane's button in the window's toolbar.
    QString paneLabel() const { return _paneLabel; }

protected:
    void setPaneLabel(const QString &label) { _paneLabel = label; }

private:
    QString _paneLabel;
};
