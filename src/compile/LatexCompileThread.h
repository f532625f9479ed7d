#pragma once

#include <QRunnable>
#include <QString>
#include <memory>

class LatexCompiler;
class QSFile;

// One run of the TeX engine over a source file, on a worker of the compiler's
// queue: the engine's output and errors reach the console as they come, and its
// log is handed on when it has ended.
class LatexCompileThread : public QRunnable
{
public:
    // The engine path and the output's encoding are taken from the defaults now.
    LatexCompileThread(const std::shared_ptr<QSFile> &file, LatexCompiler *compiler);

    void run() override;

private:
    std::shared_ptr<QSFile> _file;
    LatexCompiler *_compiler; // not owned; waits for this run before it goes
    QString _enginePath;
    QString _texPath;
    QString _directory;
    QString _name;
    int _encoding;
};
