#pragma once

#include "compile/BibliographyLogParser.h"
#include "compile/LogOutcome.h"

#include <QByteArrayView>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class ConsoleViewController;
class ErrorWarningNode;
class QSFile;
class QUrl;

// Reads the engine's log after a compile and turns its "-file-line-error" errors
// and "LaTeX Warning:" lines into diagnostics of the document's files. The log is
// cut into segments at each file the engine opens ("(./name.tex"); a segment's
// warnings go to its file, and an error to the file it names; an error TeX writes
// as "! message", where no file is being read, goes to the segment's file. Each
// error keeps the context lines that name its culprit; the engine's fatal end is
// the outcome of the run, not an error of it. Lines that the engine broke only
// because they reached its 79-byte limit are read joined.
class LatexLogParser : public QObject
{
    Q_OBJECT

public:
    struct FileDiagnostics
    {
        std::shared_ptr<QSFile> file;
        QList<std::shared_ptr<ErrorWarningNode>> diagnostics;
    };
    // The file held for a path, or none.
    using FileLookup = std::function<std::shared_ptr<QSFile>(const QString &path)>;

    // What a log says another run would mend: labels that changed during the run,
    // or references and citations still undefined at its end.
    enum class Rerun { NotNeeded, LabelsChanged, UndefinedReferences };

    explicit LatexLogParser(ConsoleViewController *console = nullptr);
    ~LatexLogParser() override;

    // The diagnostics of a log for every file of it that the lookup knows, in the
    // order the log first mentions them; relative names are taken from the folder,
    // which ends in "/". Files without diagnostics are listed too, with none.
    static QList<FileDiagnostics> parseLogText(const QString &text, const QString &folder,
                                               const FileLookup &lookup);
    // The same for the log's bytes in one of the text encodings.
    static QList<FileDiagnostics> parseLogBytes(QByteArrayView log, int encoding,
                                                const QString &folder, const FileLookup &lookup);

    static Rerun rerunNeeded(QByteArrayView log);

    // Compile worker: reads and parses the log with the files of the pool, then hands
    // the whole result to the UI thread, which shows it through the console. A log
    // that cannot be read gives no diagnostics.
    // After a latexmk run, the diagnostics of its BibTeX or biber (the .blg beside
    // the log) and of its output join the log's: on a database file and line when
    // they name them (a database no window holds is read on its own), else on the
    // root file.
    void parseLog(const QUrl &log, bool engineSucceeded,
                  const std::optional<QString> &latexmkOutput = std::nullopt);

    // UI thread: the files that got diagnostics in the last parse, each once.
    const QList<std::shared_ptr<QSFile>> &filesWithErrors() const { return _filesWithErrors; }
    void setFilesWithErrors(const QList<std::shared_ptr<QSFile>> &files);
    // UI thread: what the log of the last parse said of another run.
    Rerun lastRerunNeeded() const { return _lastRerunNeeded; }
    // UI thread: how the run of the last parse ended, as its log tells it.
    const LogOutcome &lastOutcome() const { return _lastOutcome; }
    // UI thread: gives the files their new diagnostics and tells the console.
    void takeResult(const QList<FileDiagnostics> &result, bool engineSucceeded);
    // UI thread: a failed run that left no error on any file of the document gets
    // one on its root file, from the lines that say why (the first is the message,
    // the others its context). False when the root file is not known.
    bool addRunFailure(const QStringList &why);

signals:
    void filesWithErrorsWillChange();
    void filesWithErrorsDidChange();

private:
    static QList<LatexLogParser *> &allParsers();
    static void addBibliographyDiagnostics(
        QList<FileDiagnostics> &result, const QList<BibliographyLogParser::Diagnostic> &diagnostics,
        const std::shared_ptr<QSFile> &root, const QString &folder, const FileLookup &lookup);

    // Announces a change of the files' diagnostics to every parser that shows one of them.
    void changeDiagnostics(const QList<std::shared_ptr<QSFile>> &files,
                           const std::function<void()> &change);

    ConsoleViewController *_consoleViewController; // not owned
    QList<std::shared_ptr<QSFile>> _filesWithErrors;
    Rerun _lastRerunNeeded = Rerun::NotNeeded;
    LogOutcome _lastOutcome;
    std::weak_ptr<QSFile> _lastRoot; // the root file of the last parse's log
};
