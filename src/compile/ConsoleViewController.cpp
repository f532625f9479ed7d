#include "compile/ConsoleViewController.h"

#include "compile/CompileProgress.h"
#include "compile/EngineCommand.h"
#include "compile/ErrorOutlineDataSource.h"
#include "compile/LatexCompiler.h"
#include "compile/LatexLogParser.h"
#include "compile/LogOutcome.h"
#include "compile/StatusView.h"
#include "model/ErrorWarningNode.h"
#include "model/QSFile.h"
#include "platform/SplitViewPane.h"
#include "platform/UserDefaults.h"
#include "ui_ConsoleView.h"

#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTreeView>
#include <QUrl>
#include <QVariantAnimation>

namespace {

// An engine that prints without end must not fill the memory: the console keeps
// the latest lines.
constexpr int loggerLineLimit = 50000;
// What one turn of the UI thread's event loop puts into the logger at most.
constexpr int linesPerFlush = 250;
constexpr qsizetype charactersPerFlush = 64 * 1024;
constexpr qsizetype longestLine = 10000;
// Output waiting for the UI thread is cut to the lines the logger keeps once it
// grows past this many characters.
constexpr qsizetype pendingOutputLimit = 8 << 20;

} // namespace

ConsoleViewController::ConsoleViewController(QObject *parent)
    : QObject(parent)
    , _ui(std::make_unique<Ui::ConsoleView>())
    , _view(new QWidget)
    , _latexLogFileParser(new LatexLogParser(this))
    , _latexCompiler(std::make_unique<LatexCompiler>(this))
    , _errorOutlineDataSource(new ErrorOutlineDataSource(_latexLogFileParser, this))
    , _animation(new QVariantAnimation(this))
    , _compileProgress(new CompileProgress(this))
{
    _ui->setupUi(_view);
    _ui->o_textLogger->setMaximumBlockCount(loggerLineLimit);
    QTreeView *tree = _ui->o_errorWarningOutline;
    tree->setModel(_errorOutlineDataSource);
    connect(tree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ConsoleViewController::outlineViewSelectionDidChange);
    // A click, a double click or Return on a row opens its line even when the row
    // was chosen already.
    const auto open = [this](const QModelIndex &index) {
        const std::shared_ptr<ErrorWarningNode> diagnostic =
            _errorOutlineDataSource->diagnosticForIndex(index);
        if (const std::shared_ptr<QSFile> file = diagnostic ? diagnostic->file.lock() : nullptr)
            emit diagnosticOpened(file, diagnostic->lineNumber);
    };
    connect(tree, &QAbstractItemView::clicked, this, open);
    connect(tree, &QAbstractItemView::activated, this, open);
    tree->hide();
    _animation->setDuration(200);
    connect(_animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &height) { setConsoleHeight(height.toInt()); });
}

ConsoleViewController::~ConsoleViewController()
{
    stopCompilingAndWait();
    if (_view && !_view->parent())
        delete _view;
}

void ConsoleViewController::stopCompilingAndWait()
{
    _latexCompiler->stopCompiling();
    _latexCompiler->waitUntilDone();
}

QTreeView *ConsoleViewController::errorWarningOutline() const
{
    return _ui->o_errorWarningOutline;
}

QWidget *ConsoleViewController::textLoggerView() const
{
    return _ui->o_textLoggerView;
}

QPlainTextEdit *ConsoleViewController::textLogger() const
{
    return _ui->o_textLogger;
}

QLabel *ConsoleViewController::hintLabel() const
{
    return _ui->o_hintLabel;
}

void ConsoleViewController::compileFile(const std::shared_ptr<QSFile> &file,
                                        const EngineCommand &command, const QStringList &notices)
{
    if (_latexCompiler->isCompiling())
        return;
    clearOutputLogger();
    hintLabel()->hide();
    textLoggerView()->show();
    errorWarningOutline()->hide();
    animatedExpansionToHeight(openHeight);
    auto *area = qobject_cast<StatusView *>(_view->parentWidget());
    _lastCompileThroughLatexmk = command.throughLatexmk;
    for (const QString &notice : notices)
        addStringToOutputLogger(notice + u'\n');
    if (QFileInfo::exists(command.program)) {
        if (area)
            area->setStatusToTransforming();
        _compileProgress->started(CompileProgress::engineName(command));
        _latexCompiler->compileFile(file, command);
        return;
    }
    // Queued after the clearing above, so the message stays.
    addStringToOutputLogger(command.notFoundMessage());
    _compileProgress->failed(tr("%1 not found").arg(QFileInfo(command.program).fileName()));
}

void ConsoleViewController::compileEndedWithoutLog(bool stopped, const QString &why)
{
    QMetaObject::invokeMethod(
        this,
        [this, stopped, why] {
            if (stopped)
                _compileProgress->stopped();
            else
                _compileProgress->failed(why);
            showReferences();
        },
        Qt::QueuedConnection);
}

void ConsoleViewController::parseLog(const QUrl &log, bool engineSucceeded,
                                     const std::optional<QString> &latexmkOutput)
{
    _latexLogFileParser->parseLog(log, engineSucceeded, latexmkOutput);
}

// The worker never waits for the UI thread: its pieces gather here, and queued
// calls put them at the end of the logger, a bounded number of lines at a time,
// so that an engine printing without end leaves the window answering. What the
// logger would not keep is dropped before it gets there.
void ConsoleViewController::addStringToOutputLogger(const QString &text)
{
    std::lock_guard lock(_textLoggerLock);
    // A line longer than any engine's (TeX breaks its lines at 79 characters unless
    // told otherwise) goes on in a new line: the text view lays a line out whole at
    // every change, which would make an endless line ever slower to add to.
    qsizetype copied = 0;
    for (qsizetype from = 0;;) {
        const qsizetype lineEnd = text.indexOf(u'\n', from);
        const qsizetype stop = lineEnd < 0 ? text.size() : lineEnd;
        while (stop - from > longestLine - _pendingLineLength) {
            const qsizetype cut = from + longestLine - _pendingLineLength;
            _pendingOutput += QStringView(text).mid(copied, cut - copied);
            _pendingOutput += u'\n';
            copied = from = cut;
            _pendingLineLength = 0;
        }
        if (lineEnd < 0) {
            _pendingLineLength += stop - from;
            break;
        }
        _pendingLineLength = 0;
        from = lineEnd + 1;
    }
    _pendingOutput += QStringView(text).mid(copied);
    if (_pendingOutput.size() > pendingOutputLimit) {
        // The lines the logger keeps, and no more than half the limit, so that output
        // without line breaks is cut too and each cut is paid for by as much output.
        const qsizetype floor = _pendingOutput.size() - pendingOutputLimit / 2;
        qsizetype start = _pendingOutput.size();
        for (int lines = 0; lines < loggerLineLimit && start > floor; ++lines)
            start = _pendingOutput.lastIndexOf(u'\n', start - 1);
        _pendingOutput.remove(0, qMax(start + 1, floor));
    }
    queueOutputFlush();
}

void ConsoleViewController::clearOutputLogger()
{
    std::lock_guard lock(_textLoggerLock);
    _pendingOutput.clear();
    _pendingLineLength = 0;
    _clearPending = true;
    queueOutputFlush();
}

void ConsoleViewController::queueOutputFlush()
{
    if (std::exchange(_flushQueued, true))
        return;
    QMetaObject::invokeMethod(this, &ConsoleViewController::flushOutput, Qt::QueuedConnection);
}

void ConsoleViewController::flushOutput()
{
    QString text;
    bool clear = false;
    {
        std::lock_guard lock(_textLoggerLock);
        const QStringView ahead = QStringView(_pendingOutput).left(charactersPerFlush);
        qsizetype end = 0;
        for (int lines = 0; lines < linesPerFlush; ++lines) {
            const qsizetype lineEnd = ahead.indexOf(u'\n', end);
            if (lineEnd < 0) {
                end = ahead.size();
                break;
            }
            end = lineEnd + 1;
        }
        text = _pendingOutput.left(end);
        _pendingOutput.remove(0, end);
        clear = std::exchange(_clearPending, false);
        _flushQueued = false;
        if (!_pendingOutput.isEmpty())
            queueOutputFlush();
    }
    QPlainTextEdit *logger = _ui->o_textLogger;
    if (clear)
        logger->clear();
    QScrollBar *scroll = logger->verticalScrollBar();
    const bool following = scroll->value() == scroll->maximum();
    QTextCursor end(logger->document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
    _compileProgress->outputArrived(text);
    if (following)
        scroll->setValue(scroll->maximum());
}

void ConsoleViewController::updateErrorWarningOutline(bool engineSucceeded)
{
    auto *area = qobject_cast<StatusView *>(_view->parentWidget());
    if (area)
        area->resetText();
    // The end of the engine's output, for what the log cannot say: an engine that
    // found no format writes no log. All of it has been handed to the logger by now,
    // part of it still on its way.
    QString outputEnd;
    {
        QStringList lines;
        QTextBlock block = textLogger()->document()->lastBlock();
        for (int count = 0; count < 60 && block.isValid(); ++count, block = block.previous())
            lines.prepend(block.text());
        std::lock_guard lock(_textLoggerLock);
        outputEnd = (_clearPending ? QString() : lines.join(u'\n')) + _pendingOutput.right(8000);
    }
    const LogOutcome &outcome = _latexLogFileParser->lastOutcome();
    // LuaLaTeX says only on the terminal that it wrote no page.
    const bool noPdf =
        outcome.noPdf()
        || outputEnd.contains(QStringLiteral("no pages of output"), Qt::CaseInsensitive);
    const bool succeeded = engineSucceeded && !noPdf;
    int errors = 0, warnings = 0;
    for (const std::shared_ptr<QSFile> &file : _latexLogFileParser->filesWithErrors())
        for (const std::shared_ptr<ErrorWarningNode> &diagnostic : file->compileErrorsAndWarnings())
            ++(diagnostic->type == QStringLiteral("error") ? errors : warnings);
    // A failed run that blames no file of the document still says why, on its root file.
    QString failure;
    if (!succeeded && errors == 0) {
        QStringList why = outcome.reason;
        if (why.isEmpty())
            why = LogOutcome::reasonInOutput(outputEnd);
        if (why.isEmpty())
            why = QStringList{tr("The engine ended without saying why.")};
        failure = why.first();
        _latexLogFileParser->addRunFailure(why);
    }
    // The logger keeps the engine's own words with the reason after them, for when
    // the user turns from the tree to the output.
    const QString failed = tr("The compile failed. %1").arg(failure).trimmed();
    QTreeView *tree = errorWarningOutline();
    if (!_latexLogFileParser->filesWithErrors().isEmpty()) {
        tree->show();
        textLoggerView()->hide();
        tree->expandAll();
        if (!failure.isEmpty())
            addStringToOutputLogger(u'\n' + failed + u'\n');
    } else if (succeeded) {
        animatedExpansionToHeight(0);
        tree->hide();
        textLoggerView()->show();
        showReferences();
        if (area)
            area->setStatusToBeingFine();
    } else {
        showMessage(failed);
    }
    if (failure.isEmpty())
        _compileProgress->finished(succeeded, errors, warnings, noPdf);
    else
        _compileProgress->failed(failure);
    // latexmk reruns by itself; a lone engine's run is left for the user to repeat.
    const LatexLogParser::Rerun rerun = _latexLogFileParser->lastRerunNeeded();
    if (errors > 0 && noPdf) {
        hintLabel()->setText(tr("The engine gave up at these errors and wrote no PDF."));
        hintLabel()->show();
    } else if (succeeded && !_lastCompileThroughLatexmk
               && rerun != LatexLogParser::Rerun::NotNeeded) {
        hintLabel()->setText(
            rerun == LatexLogParser::Rerun::LabelsChanged
                ? tr("Labels have changed: compile again (F5) to get the cross-references right.")
                : tr("References or citations are undefined: the engine ran once. The chain (F5 "
                     "with latexmk, or Compile with Bibliography, Ctrl+F5) runs BibTeX or biber "
                     "and the reruns that resolve them."));
        hintLabel()->show();
    }
    // Warnings (an undefined reference, a missing citation) do not stop the engine
    // from writing the PDF, so the tree listing them is no reason to keep the old one.
    if (succeeded)
        emit compileSucceeded();
    emit errorWarningOutlineUpdated();
}

void ConsoleViewController::showMessage(const QString &message)
{
    errorWarningOutline()->hide();
    textLoggerView()->show();
    addStringToOutputLogger(u'\n' + message + u'\n');
    showReferences();
    animatedExpansionToHeight(openHeight);
}

void ConsoleViewController::setReferenceProblems(
    const QList<std::shared_ptr<ErrorWarningNode>> &problems)
{
    _errorOutlineDataSource->setReferenceProblems(problems);
    showReferences();
}

void ConsoleViewController::showReferences()
{
    // The compile's output stays in view while it runs, and its errors keep the tree.
    if (_latexCompiler->isCompiling() || _errorOutlineDataSource->compileRowCount() > 0)
        return;
    const bool listed = !_errorOutlineDataSource->referenceProblems().isEmpty();
    bool output = false;
    {
        std::lock_guard lock(_textLoggerLock);
        output =
            !_pendingOutput.isEmpty() || (!_clearPending && !textLogger()->document()->isEmpty());
    }
    QTreeView *tree = errorWarningOutline();
    tree->setVisible(listed);
    textLoggerView()->setVisible(!listed || output);
    if (listed)
        tree->expand(_errorOutlineDataSource->referencesIndex());
}

void ConsoleViewController::animatedExpansionToHeight(int height)
{
    _height = height;
    emit shownChanged(isShown());
    auto *area = _view->parentWidget();
    if (!area)
        return;
    _animation->stop();
    _animation->setStartValue(area->height());
    _animation->setEndValue(height);
    _animation->start();
}

void ConsoleViewController::hideWithoutAnimation()
{
    _animation->stop();
    _height = 1;
    emit shownChanged(isShown());
    setConsoleHeight(1);
}

// The console area is the lower view of the split view under the text.
void ConsoleViewController::setConsoleHeight(int height)
{
    SplitViewPane::setSize(_view->parentWidget(), height, Qt::Vertical);
}

void ConsoleViewController::outlineViewSelectionDidChange()
{
    const QModelIndexList selected = errorWarningOutline()->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    const std::shared_ptr<ErrorWarningNode> diagnostic =
        _errorOutlineDataSource->diagnosticForIndex(selected.first());
    const std::shared_ptr<QSFile> file = diagnostic ? diagnostic->file.lock() : nullptr;
    if (file)
        emit diagnosticChosen(file, diagnostic->lineNumber);
}
