#pragma once

#include <QWidget>

// A pane of the preferences window: shows some settings and writes them back to
// the user defaults when the window closes.
class QSPreferencesMainViewController : public QWidget
{
    Q_OBJECT

public:
    using QWidget::QWidget;
    virtual void savePreferences();
};
