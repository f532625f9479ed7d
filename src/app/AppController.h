#pragma once

#include <QIcon>
#include <QObject>
#include <memory>

class ChangesQueue;
class QSFilePool;
class QSOutlineViewReloaderThread;
class QSPreferenceWindowController;
class QSSyntaxHighlighter;
class QWidget;

// Owns what is process-wide: the file pool, the edit worker, the syntax
// highlighter, the outline reloader and the outline icons; answers whether an
// untitled document opens at start-up. One for the whole program.
class AppController : public QObject
{
    Q_OBJECT

public:
    // Creates, in this order, the file pool, the changes queue, the syntax
    // highlighter and the outline reloader.
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
    QSOutlineViewReloaderThread *outlineViewReloader() const { return _outlineViewReloader.get(); }

private:
    std::unique_ptr<QSPreferenceWindowController> _preferenceController;
    std::unique_ptr<QSFilePool> _appFilePool;
    std::unique_ptr<ChangesQueue> _appChangesQueue;
    std::unique_ptr<QSSyntaxHighlighter> _syntaxHighlighter;
    std::unique_ptr<QSOutlineViewReloaderThread> _outlineViewReloader;
};
