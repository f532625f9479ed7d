// The PDF side of the document window: showing the document's PDF, printing it,
// and the jumps between a line of the text and its place in the PDF.
#include "app/MyDocument.h"

#include "compile/ConsoleViewController.h"
#include "editor/QSTextView.h"
#include "model/QSFile.h"
#include "model/TextStorageDelegate.h"
#include "pdf/PdfSync.h"
#include "pdf/QSPDFViewController.h"
#include "pdf/SyncResolver.h"
#include "ui_MyDocument.h"

#include <QPdfDocument>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextBlock>
#include <QUrl>
#include <optional>

void MyDocument::printDocument()
{
    if (!_pdfViewController->pdfDocument())
        return;
    if (!_printer)
        _printer = std::make_unique<QPrinter>();
    QPrintDialog dialog(_printer.get(), _curWindow);
    if (dialog.exec() == QDialog::Accepted)
        _pdfViewController->printTo(_printer.get());
}

// A PDF that cannot be read leaves the one shown before, and the console says why.
void MyDocument::reloadPDF()
{
    const std::optional<QUrl> pdf = _fileOpened ? _fileOpened->pdfPath() : std::nullopt;
    if (!pdf)
        return;
    QString reason;
    if (!_pdfViewController->setFilePath(pdf->toLocalFile(), &reason)) {
        _consoleViewController->showMessage(
            tr("The PDF %1 could not be shown: %2.").arg(pdf->toLocalFile(), reason));
        return;
    }
    if (_pdfViewController->isHidden())
        _pdfViewController->showPDFViewWithAnimation(false);
}

void MyDocument::pdfSyncFromTextViewToPdf()
{
    const std::shared_ptr<QSFile> shown = _textStorageDelegate->selectedFile();
    if (!_fileOpened || !shown)
        return;
    QSTextView *text = _ui->textView;
    const int line =
        PdfSync::lineNumberAt(text->toPlainText(), text->textCursor().selectionStart());
    const auto position = SyncResolver::positionForLine(*_fileOpened, *shown, line,
                                                        _pdfViewController->pdfDocument());
    if (!position)
        return;
    if (_pdfViewController->isHidden())
        _pdfViewController->showPDFViewWithAnimation(false);
    _pdfViewController->goToPosition(position->page, position->point);
}

void MyDocument::pdfSyncFromPdfViewToTextView(int page, const QPointF &point)
{
    if (!_fileOpened || !_pdfViewController->pdfDocument())
        return;
    const qreal height = _pdfViewController->pdfDocument()->pagePointSize(page - 1).height();
    const auto source = SyncResolver::sourceForPoint(_fileOpened, page, point, height);
    if (!source)
        return;
    const auto &[file, line] = *source;
    selectRange(QSRange{0, 0}, file);
    const QTextBlock block = _ui->textView->document()->findBlockByNumber(qMax(line, 1) - 1);
    if (block.isValid())
        selectRange(QSRange{quint32(block.position()), quint32(block.length() - 1)}, file);
}
