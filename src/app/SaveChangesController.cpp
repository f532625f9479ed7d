#include "app/SaveChangesController.h"

#include "app/SaveChangesDataSource.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "ui_SaveChanges.h"

#include <QDialog>
#include <QMessageBox>

SaveChangesController::SaveChangesController(QList<std::shared_ptr<QSFile>> files,
                                             std::shared_ptr<QSFile> fileToLetGo, QWidget *window)
    : QObject(window)
    , _filesThatHasChanged(std::move(files))
    , _fileToLetGo(std::move(fileToLetGo))
    , _ui(std::make_unique<Ui::SaveChanges>())
    , _sheet(new QDialog(window))
    , _tableDataSource(new SaveChangesDataSource(_filesThatHasChanged, this))
{
    _ui->setupUi(_sheet);
    _sheet->setWindowModality(Qt::WindowModal);
    _ui->tableWithFiles->setModel(_tableDataSource);
    connect(_ui->saveAllButton, &QPushButton::clicked, this, &SaveChangesController::saveAllFiles);
    connect(_ui->saveSelectedButton, &QPushButton::clicked, this,
            &SaveChangesController::saveSelectedFiles);
    connect(_ui->discardButton, &QPushButton::clicked, this,
            &SaveChangesController::discardChanges);
    // Closed without an answer (Escape): nothing is saved or let go.
    connect(_sheet, &QDialog::rejected, this, &QObject::deleteLater);
}

SaveChangesController::~SaveChangesController() = default;

void SaveChangesController::open()
{
    _sheet->open();
}

void SaveChangesController::saveAllFiles()
{
    finish([](qsizetype) { return true; });
}

void SaveChangesController::saveSelectedFiles()
{
    finish([this](qsizetype index) { return _tableDataSource->shouldFileAtIndexBeSaved(index); });
}

void SaveChangesController::discardChanges()
{
    finish([](qsizetype) { return false; });
}

void SaveChangesController::finish(const std::function<bool(qsizetype)> &shouldSave)
{
    QStringList failures;
    for (qsizetype index = _filesThatHasChanged.size() - 1; index >= 0; --index) {
        const std::shared_ptr<QSFile> &file = _filesThatHasChanged.at(index);
        if (shouldSave(index) && !file->saveFile())
            failures << file->pathText() + QStringLiteral(": ") + file->lastSaveError();
    }
    // Letting go now would lose the changes that could not be saved.
    if (failures.isEmpty())
        QSFilePool::sharedFilePool()->closeFile(_fileToLetGo->path());
    QWidget *window = _sheet->parentWidget();
    _sheet->accept();
    if (!failures.isEmpty()) {
        auto *message = new QMessageBox(
            QMessageBox::Warning, tr("Some files could not be saved"),
            tr("These files could not be saved and stay open:\n%1").arg(failures.join(u'\n')),
            QMessageBox::Ok, window);
        message->setAttribute(Qt::WA_DeleteOnClose);
        message->setWindowModality(Qt::WindowModal);
        message->open();
    }
    deleteLater();
}
