#pragma once

#include <QList>
#include <QObject>
#include <QSize>
#include <memory>

class QMainWindow;
class QSPreferencesMainViewController;
namespace Ui {
class QSPreferencesWindow;
}

// The preferences window: a toolbar with one button per pane, one pane shown at a
// time, the window resized to it but never narrower than the row of buttons. The
// Close button, Escape and Ctrl+W close it; closing saves every pane's settings and
// remembers the window's size and pane for the next time it opens.
class QSPreferenceWindowController : public QObject
{
    Q_OBJECT

public:
    explicit QSPreferenceWindowController(QObject *parent = nullptr);
    ~QSPreferenceWindowController() override;

    QMainWindow *window() const { return _window; }
    void showWindow();
    // Switching panes keeps the window's top edge and centre and grows it by what the
    // new pane needs more than the one shown.
    void displayPreferenceAtIndex(qsizetype index);
    qsizetype indexOfLastShownView() const { return _indexOfLastShownView; }
    QSPreferencesMainViewController *pane(qsizetype index) const
    {
        return _preferenceViewControllers.value(index);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The window's size when its box shows exactly that much.
    QSize windowSizeAround(QSize paneSize) const;
    void windowWillClose();

    std::unique_ptr<Ui::QSPreferencesWindow> _ui;
    QMainWindow *_window;
    QList<QSPreferencesMainViewController *> _preferenceViewControllers;
    qsizetype _indexOfLastShownView = -1;
    bool _boxLaidOut = false; // once the window has been shown
};
