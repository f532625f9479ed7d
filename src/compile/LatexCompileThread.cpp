#include "compile/LatexCompileThread.h"

#include "compile/ConsoleViewController.h"
#include "compile/LatexCompiler.h"
#include "model/QSFile.h"
#include "platform/HandOver.h"
#include "platform/TextDecoder.h"
#include "platform/UserDefaults.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScopeGuard>
#include <csignal>
#include <optional>
#include <unistd.h>

LatexCompileThread::LatexCompileThread(const std::shared_ptr<QSFile> &file,
                                       const EngineCommand &command, LatexCompiler *compiler)
    : _file(file)
    , _compiler(compiler)
    , _command(command)
    , _texPath(file->pathText())
    , _directory(file->directory())
    , _name(file->name())
    , _encoding(UserDefaults::standardUserDefaults().integerForKey(QSFileEncoding))
{}

namespace {
constexpr qsizetype latexmkOutputKept = 4 << 20;
}

void LatexCompileThread::run()
{
    takeOver(this);
    // What the run did comes before what the compiler's owner does once it has
    // waited for the run (destroying the compiler, say).
    const auto handBack = qScopeGuard([compiler = _compiler] { handOver(compiler); });
    std::lock_guard lock(_compiler->lock());
    ConsoleViewController *console = _compiler->consoleViewController();
    if (_compiler->stopRequested()) {
        _compiler->setIsCompiling(false);
        console->compileEndedWithoutLog(true);
        return;
    }

    // The run waits for the engine's output and end in an event loop of its own, on
    // its worker: Stop reaches it through that loop at once.
    QProcess engine;
    QEventLoop running;
    // Output and errors in one stream, in the order the engine writes them.
    engine.setProcessChannelMode(QProcess::MergedChannels);
    // An engine that asks the user for input gets end of input and stops, rather
    // than waiting forever for an answer nobody can give.
    engine.setStandardInputFile(QProcess::nullDevice());
    engine.setWorkingDirectory(_directory);
    // TeX breaks its log lines after 79 bytes unless told otherwise, also inside a
    // file name or an error line, which the log parser would then have to piece
    // together again; kpathsea takes the limit from the environment.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("max_print_line"), QStringLiteral("100000"));
    // latexmk finds the engine, BibTeX, biber and makeindex in the folder of the
    // defaults before any other.
    const QString folder = QFileInfo(_command.program).absolutePath();
    environment.insert(QStringLiteral("PATH"),
                       folder + u':' + environment.value(QStringLiteral("PATH")));
    engine.setProcessEnvironment(environment);
    // A process group of its own, which Stop ends as a whole.
    engine.setChildProcessModifier([] { ::setpgid(0, 0); });

    TextDecoder decoder(_encoding);
    QString heldBack;
    // latexmk's output, for what it says of the bibliography programs; its end is
    // what counts, so an endless output keeps its last part.
    std::optional<QString> latexmkOutput;
    if (_command.throughLatexmk)
        latexmkOutput.emplace();
    // A CR LF split between two pieces would show as two line breaks.
    auto pass = [&](QString text, bool last) {
        text.prepend(heldBack);
        heldBack.clear();
        if (!last && text.endsWith(u'\r')) {
            heldBack = QStringLiteral("\r");
            text.chop(1);
        }
        if (!text.isEmpty())
            console->addStringToOutputLogger(text);
        if (latexmkOutput) {
            *latexmkOutput += text;
            if (latexmkOutput->size() > latexmkOutputKept)
                latexmkOutput->remove(0, latexmkOutput->size() - latexmkOutputKept / 2);
        }
    };
    QObject::connect(&engine, &QProcess::readyRead, &running,
                     [&] { pass(decoder.decode(engine.readAll()), false); });
    QObject::connect(&engine, &QProcess::finished, &running, &QEventLoop::quit);
    // ThreadSanitizer loses what this thread did before it forks (the engine is
    // started by a fork from this thread): hand it over now as well.
    handOver(_compiler);
    engine.start(_command.program, _command.arguments + QStringList{_name}, QIODevice::ReadOnly);
    if (!engine.waitForStarted(-1)) {
        _compiler->failedToStart(engine.errorString());
        return;
    }
    _compiler->setRunningEngine(&engine);
    // A stop asked for before the engine was known to the compiler.
    if (_compiler->stopRequested())
        endEngine(&engine);
    if (engine.state() != QProcess::NotRunning)
        running.exec();
    _compiler->setRunningEngine(nullptr);
    pass(decoder.decode(engine.readAll()) + decoder.finish(), true);

    if (_compiler->stopRequested()) {
        // What the stopped engine left of its log is not the compile's result.
        console->addStringToOutputLogger(u'\n' + QObject::tr("Compile stopped.") + u'\n');
        _compiler->setIsCompiling(false);
        console->compileEndedWithoutLog(true);
        return;
    }
    if (engine.exitStatus() == QProcess::CrashExit)
        console->addStringToOutputLogger(u'\n' + QObject::tr("The TeX engine crashed.") + u'\n');
    _compiler->doneCompiling(_texPath,
                             engine.exitStatus() == QProcess::NormalExit && engine.exitCode() == 0,
                             latexmkOutput);
}

void LatexCompileThread::endEngine(QProcess *engine)
{
    // Its group is the engine's own process id: every program latexmk started is in it.
    if (const qint64 group = engine->processId(); group > 0)
        ::kill(pid_t(-group), SIGKILL);
    engine->kill();
}
