#pragma once

#include "compile/preview/PreviewFormat.h"
#include "compile/preview/PreviewSnapshot.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>

class PreviewFolder;
class QProcess;

// Typesets one document's live previews from the text as it stands in the editor,
// saved or not, without ever writing beside the user's files.
//
// Each request is typeset in the document's private folder (PreviewFolder): the
// unsaved texts are written there at the places their files have in the root's
// folder, and the engine runs in the root's folder (so that figures and saved files
// resolve as they always do) with TEXINPUTS=<private folder>: (the copies shadow
// the files on disk; the empty entry keeps the engine's own search path) and
// -output-directory=<private folder>, so that no .aux, .log, .pdf or .synctex.gz
// of the user's is written. Shell escape is off whatever the engine's defaults say,
// and TeX may not open files for writing outside the private folder (openout_any=p).
// The engine runs once, stopping at the first error, at low priority (nice 10), in
// a process group of its own, and is ended after a time limit.
//
// At most one engine runs at a time: a request while one runs ends that run (its
// whole process group) and starts the newest request once the engine is gone;
// requests that came in between are never typeset. A run that was ended emits no
// result, only the state.
//
// After a good preview of a preamble that has no format yet, the same engine slot
// dumps one (PreviewFormat); a request meanwhile waits for the dump rather than
// ending it, and the runs after it start from the format. A preamble that cannot
// be dumped is typeset with every run, and the user is told once.
//
// A request may ask for one \include'd file only (PreviewSnapshot::includeOnly):
// the run follows an \includeonly of it, so that the other chapters are skipped and
// keep the numbers their .aux files hold. The \includeonly is put first in the
// root's .aux in the private folder (PreviewFolder::typesetOnly), which LaTeX reads
// at \begin{document} in every run, started from the preamble's format or not. The
// engine's input stays the root file, so the SyncTeX data and the log name the same
// files as in any run. Handing "\includeonly{name}\input{root}" to the engine as its
// first line would serve a run without a format only: a run from the format takes
// every line before the root's \begin{document} for the preamble it holds and
// skips it, that first line too, and ends without input. A request whose chapter's
// neighbours have no numbers yet (no .aux here, nor one of the user's own compile
// beside the files) typesets the whole document, once. The .aux files of a run that
// ended well are kept aside and put back for the run after one that was ended or
// stopped at an error, which leaves them half written: the chapters after the place
// it stopped would lose their numbers.
//
// The finished PDF is moved to a stable name in the private folder by one rename,
// so a viewer never reads a PDF the engine is still writing; the last good PDF
// stays there until a newer one replaces it.
//
// UI thread only.
class PreviewBuild : public QObject
{
    Q_OBJECT

public:
    enum class State {
        Idle,        // nothing asked for yet, or the preview was cancelled
        Typesetting, // a run is going, or is about to start
        UpToDate,    // the last run gave the PDF of the last request
        Failed,      // the last run stopped at an error or the time limit
    };
    Q_ENUM(State)

    explicit PreviewBuild(QObject *parent = nullptr);
    // Ends a running engine, waits for it to be gone and removes the private folder.
    ~PreviewBuild() override;

    // Typesets the document as the snapshot has it: now, or as soon as the engine
    // that runs is gone, which this request ends.
    void request(const PreviewSnapshot &snapshot);
    // Ends a running engine and forgets a waiting request; the state becomes Idle.
    void cancel();

    State state() const { return _state; }
    // True while an engine process of this build is alive: a preview's, or the dump
    // of the preamble's format that follows a preview (the state stays UpToDate).
    bool isEngineRunning() const;
    // How long a run may take before it is ended and reported as failed; 30 s
    // unless set. Applies from the next run.
    void setTimeLimit(int milliseconds) { _timeLimit = milliseconds; }
    int timeLimit() const { return _timeLimit; }

    // The last good PDF, in the private folder; empty when there is none.
    QString pdfPath() const { return _pdfPath; }
    // The user's file for a path that the SyncTeX data of the PDF gives (resolved
    // against the PDF's folder): for Ctrl-click from the PDF to the editor.
    QString userPath(const QString &path) const;
    // The path the SyncTeX data of the PDF knows a user's file by: its private copy
    // when the PDF was typeset from one, else the file itself. For Ctrl-click from
    // the editor to the PDF.
    QString previewSourcePath(const QString &userPath) const;

signals:
    void stateChanged(PreviewBuild::State state);
    // A new PDF of the document is at pdfPath (the same path for every preview of
    // one root file).
    void finished(const QString &pdfPath);
    // The run stopped: at a line of a user's file when the log names one (file
    // empty and line 0 when it does not), with the engine's message.
    void failed(const QString &file, int line, const QString &message);
    // Something the user should know once about how previews are made, for
    // example that a file's unsaved text could not be used.
    void notice(const QString &text);

private:
    void start(const PreviewSnapshot &snapshot);
    void startDump();
    // Starts the engine (_program) in the root's folder on the private folder.
    void launch(const QStringList &arguments);
    // started: the engine ran (and has ended), rather than failing to start.
    void engineEnded(bool started);
    void fail(const QString &file, int line, const QString &message);
    void setState(State state);
    void readRun(bool succeeded);
    void noticeFilesReadFromDisk();
    // Removes a private folder that neither the runs nor the PDF shown use.
    void removeFolder(const std::shared_ptr<const PreviewFolder> &folder) const;

    std::unique_ptr<QProcess> _engine; // the one engine alive, if any
    std::optional<PreviewSnapshot> _pending;
    std::shared_ptr<PreviewFolder> _folder; // the folder of the last run's root
    QTimer _timeLimitTimer;
    int _timeLimit = 30000;
    State _state = State::Idle;

    PreviewFormat _format; // of the preamble of _folder's root
    bool _toldNoFormat = false;

    // The run going on.
    PreviewSnapshot _running;
    QString _engineName;
    QString _program;
    QString _jobName;
    QByteArray _preambleKey;
    bool _dumping = false;  // the engine dumps the preamble rather than typesetting
    bool _killed = false;   // told to end: by a newer request, cancel() or the time limit
    bool _timedOut = false; // by the time limit
    QByteArray _output;     // the end of what the engine printed
    // The .aux files in the private folder are as the last run left them, which
    // ended well (or none has run).
    bool _auxSound = true;

    QString _pdfPath;
    std::shared_ptr<const PreviewFolder> _shownFolder; // where the PDF shown was typeset
    QSet<QString> _shownCopies; // the unsaved files the PDF shown was typeset from
    QSet<QString> _toldReadFromDisk;
};
