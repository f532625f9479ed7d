// What the document window keeps of itself from one session to the next: the file
// shown, the caret of each file, the text's scroll and the PDF's page.
#include "app/MyDocument.h"

#include "app/DocumentTabs.h"
#include "editor/QSTextView.h"
#include "editor/TextFolding.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/TextStorageDelegate.h"
#include "pdf/QSPDFView.h"
#include "pdf/QSPDFViewController.h"

#include <QPdfDocument>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>

QVariantMap MyDocument::sessionState() const
{
    if (!_fileOpened || _fileOpened->isUntitled())
        return {};
    const std::shared_ptr<QSFile> shown = _textStorageDelegate->selectedFile();
    QVariantList files;
    for (const std::shared_ptr<QSFile> &file : QSFilePool::fileList(_fileOpened.get())) {
        QSRange caret = file->currentSelection();
        if (file == shown) {
            const QTextCursor cursor = textView()->textCursor();
            caret = {quint32(cursor.selectionStart()),
                     quint32(cursor.selectionEnd() - cursor.selectionStart())};
        }
        const QList<int> folds =
            file == shown ? textView()->folding()->foldedLines() : _tabs->foldsOf(file.get());
        QVariantList foldLines;
        for (int line : folds)
            foldLines.append(line);
        files.append(QVariantMap{{QStringLiteral("path"), file->pathText()},
                                 {QStringLiteral("location"), caret.location},
                                 {QStringLiteral("length"), caret.length},
                                 {QStringLiteral("folds"), foldLines}});
    }
    QStringList tabs;
    for (const std::shared_ptr<QSFile> &file : _tabs->files())
        tabs << file->pathText();
    const bool pdfShown = _pdfViewController->pdfDocument() && !_pdfViewController->isHidden();
    return {{QStringLiteral("path"), _fileOpened->pathText()},
            {QStringLiteral("shown"), shown ? shown->pathText() : QString()},
            {QStringLiteral("files"), files},
            {QStringLiteral("tabs"), tabs},
            {QStringLiteral("scroll"), textView()->verticalScrollBar()->value()},
            {QStringLiteral("pdfPage"),
             pdfShown ? _pdfViewController->pdfView()->currentPage() + 1 : 0}};
}

void MyDocument::restoreSessionState(const QVariantMap &state)
{
    if (!_fileOpened)
        return;
    const QList<std::shared_ptr<QSFile>> files = QSFilePool::fileList(_fileOpened.get());
    const auto fileAt = [&files](const QString &path) -> std::shared_ptr<QSFile> {
        for (const std::shared_ptr<QSFile> &file : files)
            if (file->pathText() == path)
                return file;
        return nullptr;
    };
    for (const QVariant &entry : state.value(QStringLiteral("files")).toList()) {
        const QVariantMap caret = entry.toMap();
        if (const std::shared_ptr<QSFile> file =
                fileAt(caret.value(QStringLiteral("path")).toString()))
            file->setCurrentSelection({caret.value(QStringLiteral("location")).toUInt(),
                                       caret.value(QStringLiteral("length")).toUInt()});
    }
    // The tabs in their order, each file shown once where its caret was.
    for (const QString &path : state.value(QStringLiteral("tabs")).toStringList()) {
        if (const std::shared_ptr<QSFile> file = fileAt(path)) {
            const QSRange caret = file->currentSelection();
            selectRange(caret, file);
        }
    }
    // Their folds, closed again as each is shown.
    for (const QVariant &entry : state.value(QStringLiteral("files")).toList()) {
        const QVariantMap kept = entry.toMap();
        QList<int> folds;
        for (const QVariant &line : kept.value(QStringLiteral("folds")).toList())
            folds.append(line.toInt());
        if (const std::shared_ptr<QSFile> file =
                fileAt(kept.value(QStringLiteral("path")).toString()))
            _tabs->setFoldsOf(file.get(), folds);
    }
    std::shared_ptr<QSFile> shown = fileAt(state.value(QStringLiteral("shown")).toString());
    if (!shown)
        shown = _fileOpened;
    // A file changed since may be shorter: a caret past its end stays at the start.
    const QSRange caret = shown->currentSelection();
    selectRange(QSRange{0, 0}, shown);
    selectRange(caret, shown);
    // The scroll applies once the text is laid out.
    const int scroll = state.value(QStringLiteral("scroll")).toInt();
    QTimer::singleShot(0, this, [view = QPointer<QSTextView>(textView()), scroll] {
        if (view)
            view->verticalScrollBar()->setValue(scroll);
    });
    // The PDF's page, once the PDF is shown: a long one is measured on a worker first.
    const int page = state.value(QStringLiteral("pdfPage")).toInt();
    QSPDFViewController *pdf = _pdfViewController;
    const auto turn = [pdf, page] {
        if (pdf->pdfDocument() && page <= pdf->pdfDocument()->pageCount())
            pdf->goToPageNo(page);
    };
    if (page <= 0)
        return;
    if (pdf->pdfDocument() && pdf->pdfDocument()->pageCount() > 0)
        turn();
    else
        connect(pdf, &QSPDFViewController::documentShown, this, turn, Qt::SingleShotConnection);
}
