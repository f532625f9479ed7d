#include "app/NewFileSheetController.h"

#include "platform/Document.h"
#include "ui_NewFileWindow.h"

#include <QDialog>

NewFileSheetController::NewFileSheetController(Document *document)
    : _curDoc(document)
    , _ui(std::make_unique<Ui::NewFileWindow>())
    , _sheet(new QDialog(document ? document->window() : nullptr))
{
    _ui->setupUi(_sheet);
    _sheet->setWindowModality(Qt::WindowModal);
    connect(_ui->closeButton, &QPushButton::clicked, this, &NewFileSheetController::closeSheet);
}

NewFileSheetController::~NewFileSheetController() = default;

void NewFileSheetController::closeSheet()
{
    _sheet->close();
    if (_curDoc && _curDoc->window())
        _curDoc->window()->close();
}
