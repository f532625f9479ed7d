#include "compile/LatexCompiler.h"

#include "compile/ConsoleViewController.h"
#include "compile/LatexCompileThread.h"
#include "model/QSFile.h"
#include "platform/HandOver.h"

#include <QProcess>
#include <QUrl>

LatexCompiler::LatexCompiler(ConsoleViewController *console)
    : _consoleViewController(console)
{}

LatexCompiler::~LatexCompiler()
{
    stopCompiling();
    waitUntilDone();
}

void LatexCompiler::compileFile(const std::shared_ptr<QSFile> &file, const EngineCommand &command)
{
    if (_isCompiling)
        return;
    _isCompiling = true;
    _stopRequested = false;
    auto *run = new LatexCompileThread(file, command, this);
    handOver(run);
    _compileQueue.start(run);
}

void LatexCompiler::stopCompiling()
{
    if (!_isCompiling)
        return;
    _stopRequested = true;
    // The engine lives on the compile worker: it is ended there, through the run's
    // own event loop.
    std::lock_guard lock(_runningEngineLock);
    if (_runningEngine)
        QMetaObject::invokeMethod(
            _runningEngine, [engine = _runningEngine] { LatexCompileThread::endEngine(engine); },
            Qt::QueuedConnection);
}

void LatexCompiler::setRunningEngine(QProcess *engine)
{
    std::lock_guard lock(_runningEngineLock);
    _runningEngine = engine;
}

void LatexCompiler::waitUntilDone()
{
    _compileQueue.waitForDone();
    takeOver(this);
}

void LatexCompiler::doneCompiling(const QString &texPath, bool engineSucceeded,
                                  const std::optional<QString> &latexmkOutput)
{
    // A new compile may be admitted while this one's log is still being read.
    _isCompiling = false;
    QString logPath = texPath;
    if (logPath.endsWith(QStringLiteral(".tex")))
        logPath.chop(4);
    logPath += QStringLiteral(".log");
    _consoleViewController->parseLog(QUrl::fromLocalFile(logPath), engineSucceeded, latexmkOutput);
}

void LatexCompiler::failedToStart(const QString &reason)
{
    _isCompiling = false;
    _consoleViewController->addStringToOutputLogger(
        tr("The TeX engine could not be started: %1").arg(reason) + u'\n');
    _consoleViewController->compileEndedWithoutLog(false, tr("the TeX engine could not be started"));
}
