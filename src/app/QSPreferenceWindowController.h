#pragma once

#include <QList>
#include <QObject>
#include <memory>

class QMainWindow;
class QSPreferencesMainViewController;
namespace Ui {
class QSPreferencesWindow;
}

// The preferences window: a toolbar with one item per pane, one pane shown at a
// time, the window resized to it. Closing the window saves every pane's settings.
class QSPreferenceWindowController : public QObject
{
    Q_OBJECT

public:
    explicit QSPreferenceWindowController(QObject *parent = nullptr);
    ~QSPreferenceWindowController() override;

    QMainWindow *window() const { return _window; }
    void showWindow();
    void displayPreferenceAtIndex(qsizetype index);
    qsizetype indexOfLastShownView() const { return _indexOfLastShownView; }
    QSPreferencesMainViewController *pane(qsizetype index) const
    {
        return _preferenceViewControllers.value(index);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void windowWillClose();

    std::unique_ptr<Ui::QSPreferencesWindow> _ui;
    QMainWindow *_window;
    QList<QSPreferencesMainViewController *> _preferenceViewControllers;
    qsizetype _indexOfLastShownView = -1;
};
