#include "editor/SmartDropNoDropExistSheetController.h"

#include "editor/DropTextView.h"
#include "editor/SmartDrop.h"
#include "ui_SmartDropNoDropExist.h"

#include <QDialog>

SmartDropNoDropExistSheetController::SmartDropNoDropExistSheetController(DropTextView *textView)
    : QObject(textView)
    , _ui(std::make_unique<Ui::SmartDropNoDropExist>())
    , _window(new QDialog(textView->window()))
    , _textView(textView)
{
    _ui->setupUi(_window);
    _window->setObjectName(QStringLiteral("SmartDropNoDropExist"));
    _window->setWindowModality(Qt::WindowModal);
    connect(_ui->insertFilePathButton, &QPushButton::clicked, this,
            &SmartDropNoDropExistSheetController::insertFilePath);
    connect(_ui->createNewSmartDropButton, &QPushButton::clicked, this,
            &SmartDropNoDropExistSheetController::createNewSmartDrop);
    connect(_ui->doNothingButton, &QPushButton::clicked, this,
            &SmartDropNoDropExistSheetController::doNothing);
    // Escape or closing the sheet is doing nothing.
    connect(_window, &QDialog::rejected, this, &SmartDropNoDropExistSheetController::closeSheet);
}

SmartDropNoDropExistSheetController::~SmartDropNoDropExistSheetController()
{
    delete _window;
}

void SmartDropNoDropExistSheetController::open()
{
    _window->open();
}

void SmartDropNoDropExistSheetController::insertFilePath()
{
    _textView->insertLastDraggedFilePath();
    closeSheet();
}

// The new snippet is "tmpSmartDrop" until the user writes one in the SmartDrop pane.
void SmartDropNoDropExistSheetController::createNewSmartDrop()
{
    closeSheet();
    const std::optional<QString> type =
        SmartDrop::fileTypeOfFileWithPath(_textView->lastDraggedFilePath());
    if (!type)
        return;
    SmartDrop::sharedSmartDrop()->setSmartDrop(QStringLiteral("tmpSmartDrop"), *type);
    emit newSmartDropRequested(*type);
}

void SmartDropNoDropExistSheetController::doNothing()
{
    closeSheet();
}

void SmartDropNoDropExistSheetController::closeSheet()
{
    _window->hide();
    deleteLater();
}
