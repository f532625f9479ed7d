#include "app/LivePreview.h"

#include "app/MyDocument.h"
#include "compile/CompileProgress.h"
#include "compile/ConsoleViewController.h"
#include "compile/EngineChoice.h"
#include "editor/QSTextView.h"
#include "model/ChangesQueue.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/QSSectionNode.h"
#include "model/TextStorageDelegate.h"
#include "pdf/QSPDFViewController.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <mutex>

namespace {

// As many documents as the engine memory keeps.
constexpr int rememberedDocuments = 100;

QString absolute(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

LivePreview::LivePreview(MyDocument *document)
    : QObject(document)
    , _document(document)
    , _build(std::make_unique<PreviewBuild>())
{
    _pause.setSingleShot(true);
    connect(&_pause, &QTimer::timeout, this, &LivePreview::typeset);
    connect(_build.get(), &PreviewBuild::stateChanged, this, &LivePreview::showState);
    connect(_build.get(), &PreviewBuild::finished, this, &LivePreview::previewFinished);
    connect(_build.get(), &PreviewBuild::failed, this, &LivePreview::previewFailed);
    connect(_build.get(), &PreviewBuild::notice, this, [this](const QString &text) {
        _document->showStatusMessage(text);
        if (!_failed)
            _document->pdfViewController()->setNote(text);
    });
    QSPDFViewController *pdf = _document->pdfViewController();
    connect(pdf, &QSPDFViewController::noteClicked, this, &LivePreview::noteClicked);
    // The compiled PDF shown after F5 is of the text as saved for it.
    connect(pdf, &QSPDFViewController::documentShown, this, [this] {
        if (!isShown()) {
            _outOfDate = false;
            _failed = false;
        }
        showState();
    });
    CompileProgress *progress = _document->consoleViewController()->compileProgress();
    connect(progress, &CompileProgress::textChanged, this, &LivePreview::compileStateChanged);
}

QString LivePreview::rootPath() const
{
    const std::shared_ptr<QSFile> root = _document->compiledRoot();
    return root && !root->isUntitled() ? absolute(root->pathText()) : QString();
}

void LivePreview::readRemembered()
{
    const QString path = rootPath();
    const QVariantList remembered =
        UserDefaults::standardUserDefaults().objectForKey(QSLivePreviewDocuments).toList();
    const bool on = !path.isEmpty() && remembered.contains(path);
    if (on != _on)
        setOn(on);
}

void LivePreview::setOn(bool on)
{
    const QString path = rootPath();
    if (!path.isEmpty()) {
        UserDefaults &defaults = UserDefaults::standardUserDefaults();
        QVariantList remembered = defaults.objectForKey(QSLivePreviewDocuments).toList();
        const bool known = remembered.contains(path);
        if (on != known) {
            remembered.removeAll(path);
            if (on)
                remembered.prepend(path);
            defaults.setObject(remembered.mid(0, rememberedDocuments), QSLivePreviewDocuments);
        }
    }
    if (on == _on)
        return;
    _on = on;
    QSPDFViewController *pdf = _document->pdfViewController();
    if (on) {
        // Turned on, the pane opens for it; the previews after never open it again.
        if (pdf->isHidden())
            pdf->showPDFViewWithAnimation(false);
        _pause.stop();
        typeset();
    } else {
        _pause.stop();
        _heldByCompile = false;
        _build->cancel();
        _failed = false;
        pdf->setNote(QString());
        // The compiled PDF comes back, in the preview's place, where there is one.
        if (isShown())
            _document->reloadPDF();
    }
    showState();
    emit onChanged(on);
}

void LivePreview::textChanged()
{
    if (!_outOfDate) {
        _outOfDate = true;
        showState();
    }
    if (_on)
        startPause();
}

void LivePreview::shownFileChanged()
{
    if (_on && UserDefaults::standardUserDefaults().boolForKey(QSLivePreviewOnlyChapter))
        startPause();
}

void LivePreview::startPause()
{
    _pause.start(qMax(0, UserDefaults::standardUserDefaults().integerForKey(QSLivePreviewPause)));
}

bool LivePreview::isShown() const
{
    const QString shown = _document->pdfViewController()->currentDocumentPath();
    return !shown.isEmpty() && shown == _build->pdfPath();
}

QString LivePreview::chapterOf(const std::shared_ptr<QSFile> &root,
                               const std::shared_ptr<QSFile> &file)
{
    if (!root || !file || root == file)
        return QString();
    static const QRegularExpression argument(QStringLiteral("\\\\include\\s*\\{([^{}]*)\\}"));
    std::lock_guard lock(QSFilePool::documentModelLock());
    const std::shared_ptr<QSSectionNode> tree = root->treeRootNode();
    if (!tree)
        return QString();
    for (const std::shared_ptr<QSSectionNode> &include : tree->includeNodes()) {
        if (include->nodeType() != QSNodeType::Include || include->children().isEmpty())
            continue;
        const std::shared_ptr<QSFile> chapter = include->children().first()->nodeFile();
        if (!chapter)
            continue;
        QList<QSFile *> reached{chapter.get()};
        chapter->addAllIncludedFilesToArray(&reached);
        if (!reached.contains(file.get()))
            continue;
        const QRegularExpressionMatch match = argument.match(include->nodeData());
        return match.hasMatch() ? match.captured(1).trimmed() : QString();
    }
    return QString();
}

// The document as the editor has it: every file's text from its tree, once the
// edits typed have all reached the trees (at a pause they have).
void LivePreview::typeset()
{
    if (!_on)
        return;
    if (_compiling) {
        _heldByCompile = true;
        return;
    }
    const std::shared_ptr<QSFile> root = _document->compiledRoot();
    QSPDFViewController *pdf = _document->pdfViewController();
    if (!root || root->isUntitled()) {
        pdf->setStateText(tr("Save the document to preview it"));
        return;
    }
    if (ChangesQueue *queue = ChangesQueue::sharedQueue())
        queue->waitUntilIdle();
    PreviewSnapshot snapshot;
    snapshot.rootPath = root->pathText();
    snapshot.engine = EngineChoice::choose(_document->magicProgram(), root->pathText()).engine;
    for (const std::shared_ptr<QSFile> &file : QSFilePool::fileList(root.get())) {
        if (file->isUntitled())
            continue;
        snapshot.files << file->pathText();
        if (!file->hasContentChangedSinceLastSave(false) && QFileInfo::exists(file->pathText()))
            continue;
        std::lock_guard lock(QSFilePool::documentModelLock());
        if (const std::shared_ptr<QSSectionNode> tree = file->treeRootNode())
            snapshot.texts.append(
                {file->pathText(), tree->nodeDataWithChildren(), file->encoding()});
    }
    if (UserDefaults::standardUserDefaults().boolForKey(QSLivePreviewOnlyChapter))
        snapshot.includeOnly = chapterOf(root, _document->textStorageDelegate()->selectedFile());
    _outOfDate = false;
    _build->request(snapshot);
}

// F5 runs alone: a preview under way ends, since the compile typesets the same
// text, saved; one due for what is typed meanwhile waits for the compile's end.
void LivePreview::compileStateChanged()
{
    const bool compiling = _document->consoleViewController()->compileProgress()->isRunning();
    if (compiling == _compiling)
        return;
    _compiling = compiling;
    if (compiling) {
        _pause.stop();
        _heldByCompile = false;
        _build->cancel();
    } else if (std::exchange(_heldByCompile, false) && _on) {
        typeset();
    }
}

void LivePreview::previewFinished(const QString &pdfPath)
{
    QSPDFViewController *pdf = _document->pdfViewController();
    QString reason;
    if (!pdf->setFilePath(pdfPath, &reason, QSPDFViewController::Place::Kept)) {
        previewFailed(QString(), 0, tr("the PDF could not be read: %1").arg(reason));
        return;
    }
    _failed = false;
    pdf->setNote(QString());
    showState();
}

void LivePreview::previewFailed(const QString &file, int line, const QString &message)
{
    _noteFile = file;
    _noteLine = line;
    _failed = true;
    const QString note = line > 0 ? tr("preview stopped at line %1: %2").arg(line).arg(message)
                                  : tr("preview stopped: %1").arg(message);
    _document->pdfViewController()->setNote(note, !file.isEmpty());
    showState();
}

void LivePreview::noteClicked()
{
    QSFilePool *pool = QSFilePool::sharedFilePool();
    const std::shared_ptr<QSFile> file =
        pool && !_noteFile.isEmpty() ? pool->fileObjectForPath(QUrl::fromLocalFile(_noteFile))
                                     : nullptr;
    if (!file)
        return;
    _document->showLineOfFile(file, _noteLine);
    _document->textView()->setFocus(Qt::OtherFocusReason);
}

void LivePreview::showState()
{
    QSPDFViewController *pdf = _document->pdfViewController();
    if (!_on) {
        pdf->setStateText(QString());
        return;
    }
    if (_build->state() == PreviewBuild::State::Typesetting)
        pdf->setStateText(tr("Typesetting…"));
    else if (_failed)
        pdf->setStateText(tr("Failed"));
    else if (!pdf->pdfDocument())
        pdf->setStateText(QString());
    else
        pdf->setStateText(_outOfDate ? tr("Out of date") : tr("Up to date"));
}
