// The PDF side of the document window: showing the document's PDF, printing it,
// and the jumps between a line of the text and its place in the PDF.
#include "app/MyDocument.h"

#include "app/LivePreview.h"

#include "compile/ConsoleViewController.h"
#include "editor/QSTextView.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/TextStorageDelegate.h"
#include "pdf/PdfSync.h"
#include "pdf/QSPDFViewController.h"
#include "pdf/SyncResolver.h"
#include "pdf/SyncTexLookup.h"
#include "platform/DocumentController.h"
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
    const std::shared_ptr<QSFile> root = compiledRoot();
    const std::optional<QUrl> pdf = root ? root->pdfPath() : std::nullopt;
    if (!pdf)
        return;
    QString reason;
    // In place of the live preview's PDF, where the user was reading it.
    const auto place = _livePreview && _livePreview->isShown()
                           ? QSPDFViewController::Place::Kept
                           : QSPDFViewController::Place::Remembered;
    if (!_pdfViewController->setFilePath(pdf->toLocalFile(), &reason, place)) {
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
    const std::shared_ptr<QSFile> root = compiledRoot();
    if (!root || !shown)
        return;
    QSTextView *text = _ui->textView;
    const int line =
        PdfSync::lineNumberAt(text->toPlainText(), text->textCursor().selectionStart());
    if (_livePreview->isShown()) {
        // The preview's sync data knows an unsaved file by its private copy.
        const PreviewBuild *preview = _livePreview->build();
        const auto position = SyncTexLookup::positionForLine(
            preview->pdfPath(), preview->previewSourcePath(shown->pathText()), line);
        if (position)
            _pdfViewController->goToPosition(position->page, QPointF(position->x, position->y));
        else
            showStatusMessage(
                tr("Line %1 of %2 is not in the preview yet.").arg(line).arg(shown->name()));
        return;
    }
    const auto position =
        SyncResolver::positionForLine(*root, *shown, line, _pdfViewController->pdfDocument());
    if (!position) {
        // Nothing happens on the screen: the status bar says why.
        if (!root->doesPdfExist())
            showStatusMessage(tr("There is no PDF to show the line in yet: compile with F5."));
        else if (!SyncResolver::usesSyncTeX(*root) && !root->doesPdfSyncExist())
            showStatusMessage(
                tr("The PDF has no sync data to find the line in: F5 writes it when it runs "
                   "latexmk (untick \"Run the engine once\" in the TeX Engine preferences), or "
                   "add \\synctex=1 or \\usepackage{pdfsync} to the document."));
        else
            showStatusMessage(tr("Line %1 of %2 is not in the PDF's sync data; compile again "
                                 "if it is new.")
                                  .arg(line)
                                  .arg(shown->name()));
        return;
    }
    if (_pdfViewController->isHidden())
        _pdfViewController->showPDFViewWithAnimation(false);
    _pdfViewController->goToPosition(position->page, position->point);
}

std::optional<std::pair<std::shared_ptr<QSFile>, int>>
MyDocument::previewSourceForPoint(int page, const QPointF &point) const
{
    const PreviewBuild *preview = _livePreview->build();
    const auto source =
        SyncTexLookup::sourceForPoint(preview->pdfPath(), page, point.x(), point.y());
    QSFilePool *pool = QSFilePool::sharedFilePool();
    if (!source || !pool)
        return std::nullopt;
    const std::shared_ptr<QSFile> file =
        pool->fileObjectForPath(QUrl::fromLocalFile(preview->userPath(source->path)));
    if (!file || !QSFilePool::fileList(_fileOpened.get()).contains(file))
        return std::nullopt;
    return std::pair{file, source->line};
}

void MyDocument::pdfSyncFromPdfViewToTextView(int page, const QPointF &point)
{
    const std::shared_ptr<QSFile> root = compiledRoot();
    if (!root || !_pdfViewController->pdfDocument())
        return;
    const qreal height = _pdfViewController->pdfDocument()->pagePointSize(page - 1).height();
    const auto source = _livePreview->isShown()
                            ? previewSourceForPoint(page, point)
                            : SyncResolver::sourceForPoint(root, page, point, height);
    if (!source)
        return;
    const auto &[file, line] = *source;
    // A line of the root a chapter names, or of another of its files, is shown in
    // the window of that file.
    MyDocument *target = this;
    if (!file->isUntitled() && !QSFilePool::fileList(_fileOpened.get()).contains(file)) {
        target = qobject_cast<MyDocument *>(
            DocumentController::sharedDocumentController()->openDocument(file->pathText()));
        if (!target)
            return;
    }
    target->selectRange(QSRange{0, 0}, file);
    const QTextBlock block =
        target->_ui->textView->document()->findBlockByNumber(qMax(line, 1) - 1);
    if (block.isValid())
        target->selectRange(QSRange{quint32(block.position()), quint32(block.length() - 1)}, file);
}
