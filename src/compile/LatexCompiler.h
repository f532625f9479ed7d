#pragma once

#include <QObject>
#include <QThreadPool>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

class ConsoleViewController;
class EngineCommand;
class QProcess;
class QSFile;

// Runs the TeX engine for one document window, one compile at a time: a request
// while a compile runs is dropped. The engine runs on a worker of the compiler's
// own queue.
class LatexCompiler : public QObject
{
    Q_OBJECT

public:
    explicit LatexCompiler(ConsoleViewController *console);
    // Stops a running engine and waits until its run has ended.
    ~LatexCompiler() override;

    // UI thread.
    void compileFile(const std::shared_ptr<QSFile> &file, const EngineCommand &command);
    // Ends the running engine, if one runs; its run ends as after any failed compile.
    void stopCompiling();
    // Waits until no compile runs any more; for closing and for tests.
    void waitUntilDone();

    bool isCompiling() const { return _isCompiling; }
    void setIsCompiling(bool compiling) { _isCompiling = compiling; }
    bool stopRequested() const { return _stopRequested; }
    ConsoleViewController *consoleViewController() const { return _consoleViewController; }

    // Compile worker: the engine has ended (successfully or not) and left its log.
    void doneCompiling(const QString &texPath, bool engineSucceeded,
                       const std::optional<QString> &latexmkOutput);
    // Compile worker: the engine could not be started at all.
    void failedToStart(const QString &reason);

    // Held by a run from before the engine starts until its log has been handed on,
    // so that two runs of one window never overlap.
    std::recursive_mutex &lock() { return _lock; }
    // Compile worker: the engine that runs now, living on the worker, or none.
    void setRunningEngine(QProcess *engine);

private:
    QThreadPool _compileQueue;
    std::atomic_bool _isCompiling = false;
    std::atomic_bool _stopRequested = false;
    ConsoleViewController *_consoleViewController; // not owned; owns this compiler
    std::recursive_mutex _lock;
    std::mutex _runningEngineLock;
    QProcess *_runningEngine = nullptr; // guarded by _runningEngineLock; the worker's
};
