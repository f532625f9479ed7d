#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

class Document;
class QDialog;
namespace Ui {
class NewFileWindow;
}

// The new-document sheet: closing it closes the document it was opened for.
class NewFileSheetController : public QObject
{
    Q_OBJECT

public:
    explicit NewFileSheetController(Document *document);
    ~NewFileSheetController() override;
    QDialog *sheet() const { return _sheet; }
    void closeSheet();

private:
    QPointer<Document> _curDoc;
    std::unique_ptr<Ui::NewFileWindow> _ui;
    QDialog *_sheet;
};
