#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QDialog;
class QSFile;
class QWidget;
class SaveChangesDataSource;
namespace Ui {
class SaveChanges;
}

// Asks which of the files with unsaved changes to save before a file is let go
// (and with it those only it holds): save all, save the checked ones, or discard.
// Each button saves from the last file of the list to the first, then lets the
// file go. When a save fails nothing is let go: the files stay open with their
// text, and the user is told which file could not be saved and why.
class SaveChangesController : public QObject
{
    Q_OBJECT

public:
    SaveChangesController(QList<std::shared_ptr<QSFile>> files, std::shared_ptr<QSFile> fileToLetGo,
                          QWidget *window);
    ~SaveChangesController() override;

    QDialog *sheet() const { return _sheet; }
    SaveChangesDataSource *tableDataSource() const { return _tableDataSource; }
    // Shows the sheet on the window; the controller deletes itself when it ends, and
    // goes with the window when that closes first.
    void open();

    void saveAllFiles();
    void saveSelectedFiles();
    void discardChanges();

private:
    void finish(const std::function<bool(qsizetype)> &shouldSave);

    QList<std::shared_ptr<QSFile>> _filesThatHasChanged;
    std::shared_ptr<QSFile> _fileToLetGo;
    std::unique_ptr<Ui::SaveChanges> _ui;
    QDialog *_sheet;
    SaveChangesDataSource *_tableDataSource;
};
