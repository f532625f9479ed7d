#pragma once

#include "compile/EngineCommand.h"

#include <QRunnable>
#include <QString>
#include <memory>

class LatexCompiler;
class QProcess;
class QSFile;

// One run of the TeX engine, or of latexmk and the programs it starts, over a
// source file, on a worker of the compiler's queue: their output and errors reach
// the console as they come, and the log is handed on when they have ended. They
// run in a process group of their own, so that Stop ends every one of them.
class LatexCompileThread : public QRunnable
{
public:
    // The output's encoding is taken from the defaults now.
    LatexCompileThread(const std::shared_ptr<QSFile> &file, const EngineCommand &command,
                       LatexCompiler *compiler);

    void run() override;
    // The engine's thread: ends the engine and everything it started.
    static void endEngine(QProcess *engine);

private:
    std::shared_ptr<QSFile> _file;
    LatexCompiler *_compiler; // not owned; waits for this run before it goes
    EngineCommand _command;
    QString _texPath;
    QString _directory;
    QString _name;
    int _encoding;
};
