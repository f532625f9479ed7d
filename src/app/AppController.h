#pragma once

#include <QIcon>
#include <QObject>
#include <memory>

class ChangesQueue;
class QSFilePool;
class QSPreferenceWindowController;
class QSSyntaxHighlighter;
class QWidget;
class ThemeController;

// Owns what is process-wide: the file pool, the edit worker and the syntax
// highlighter; answers whether an untitled document opens at start-up, and opens
// the preferences. One for the whole program. (Each document's outline follows its
// trees through the edit worker's notices; no worker of its own reloads it.)
class AppController : public QObject
{
    Q_OBJECT

public:
    // Creates, in this order, the file pool, the changes queue and the syntax
    // highlighter.
    explicit AppController(QObject *parent = nullptr);
    ~AppController() override;
    static AppController *sharedAppController();

    bool applicationShouldOpenUntitledFile() const;
    // Shows the preferences window, made on first use and kept.
    void showPreferencePanel();
    // Shows the SmartDrop pane of the preferences with the type's snippet to edit.
    void editSmartDropForFileType(const QString &fileType);
    QSPreferenceWindowController *preferenceController() const
    {
        return _preferenceController.get();
    }
    QIcon outlineIconForType(const QString &type) const;

    QSFilePool *appFilePool() const { return _appFilePool.get(); }
    ChangesQueue *appChangesQueue() const { return _appChangesQueue.get(); }
    QSSyntaxHighlighter *syntaxHighlighter() const { return _syntaxHighlighter.get(); }
    ThemeController *themeController() const { return _themeController; }

private:
    std::unique_ptr<QSPreferenceWindowController> _preferenceController;
    std::unique_ptr<QSFilePool> _appFilePool;
    std::unique_ptr<ChangesQueue> _appChangesQueue;
    std::unique_ptr<QSSyntaxHighlighter> _syntaxHighlighter;
    ThemeController *_themeController; // a child
};
