#include "compile/preview/PreviewBuild.h"

#include "compile/EngineChoice.h"
#include "compile/LatexCompileThread.h"
#include "compile/LatexLogParser.h"
#include "compile/LogOutcome.h"
#include "compile/preview/PreviewFolder.h"
#include "compile/preview/PreviewFormat.h"
#include "model/ErrorWarningNode.h"
#include "model/QSFile.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <sys/resource.h>
#include <unistd.h>
#include <utility>

namespace {

// What the engine printed is kept only for a run that leaves no log to say why
// it failed; its end is what says it.
constexpr qsizetype outputKept = 16 * 1024;

QString absoluteClean(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// A name of an \include'd file that TeX reads as it is in \includeonly{...}: printable
// ASCII without TeX's special characters, the comma that separates the names of a
// list, or spaces at the ends.
bool plainIncludeName(const QString &name)
{
    if (name.isEmpty() || name.front() == u' ' || name.back() == u' ')
        return false;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e || QStringView(u"{}\\%#~^$&,\"").contains(c))
            return false;
    }
    return true;
}

struct Stop
{
    QString file;
    int line = 0;
    QString message;
};

// The run's error in a user's file, as the compile's log parser reads it. The
// engine stops at its first error, so the log holds one.
Stop firstError(const QByteArray &log, const PreviewFolder &folder,
                const QSet<QString> &documentFiles)
{
    // The engine names a private copy by its path in the private folder, which
    // mirrors the root's folder; named from the root's folder instead, it is the
    // user's file, which is what the parser reads files opened there as.
    const QByteArray fromRoot =
        QByteArray(log).replace(QFile::encodeName(folder.path()) + '/', QByteArrayView("./"));
    // The parser reports errors on file objects; a bare one stands for each of the
    // document's files. Files of the TeX installation are not the user's to be sent to.
    QHash<QString, std::shared_ptr<QSFile>> files;
    const auto lookup = [&](const QString &path) -> std::shared_ptr<QSFile> {
        if (folder.copyPath(path).isEmpty() && !documentFiles.contains(path))
            return nullptr;
        std::shared_ptr<QSFile> &file = files[path];
        if (!file)
            file = QSFile::initUntitledFileWithTemplateString(QStringLiteral(""), path);
        return file;
    };
    const int encoding = UserDefaults::standardUserDefaults().integerForKey(QSFileEncoding);
    const QList<LatexLogParser::FileDiagnostics> parsed =
        LatexLogParser::parseLogBytes(fromRoot, encoding, folder.rootFolder() + u'/', lookup);
    static const QRegularExpression linePart(QStringLiteral("\\(on line: [^)]*\\)$"));
    for (const LatexLogParser::FileDiagnostics &file : parsed) {
        for (const std::shared_ptr<ErrorWarningNode> &diagnostic : file.diagnostics) {
            if (diagnostic->type == QStringLiteral("error"))
                return {file.file->pathText(), diagnostic->lineNumber,
                        QString(diagnostic->msg).remove(linePart).trimmed()};
        }
    }
    // An error in a package or a font, or a run the engine gave up on.
    return {QString(), 0, LogOutcome::read(log).reason.value(0)};
}

} // namespace

PreviewBuild::PreviewBuild(QObject *parent)
    : QObject(parent)
{
    _timeLimitTimer.setSingleShot(true);
    connect(&_timeLimitTimer, &QTimer::timeout, this, [this] {
        if (!_engine)
            return;
        _timedOut = true;
        _killed = true;
        LatexCompileThread::endEngine(_engine.get());
    });
}

PreviewBuild::~PreviewBuild()
{
    if (_engine) {
        _engine->disconnect(this);
        LatexCompileThread::endEngine(_engine.get());
        _engine->waitForFinished(5000);
    }
    removeFolder(std::exchange(_folder, nullptr));
    removeFolder(std::exchange(_shownFolder, nullptr));
}

void PreviewBuild::removeFolder(const std::shared_ptr<const PreviewFolder> &folder) const
{
    // The next session empties a folder before its first preview anyway; nothing of
    // one that is no longer used is left in the user's cache meanwhile.
    if (folder && folder != _folder && folder != _shownFolder)
        QDir(folder->path()).removeRecursively();
}

bool PreviewBuild::isEngineRunning() const
{
    return _engine && _engine->state() != QProcess::NotRunning;
}

void PreviewBuild::request(const PreviewSnapshot &snapshot)
{
    if (!_engine) {
        start(snapshot);
        return;
    }
    // Only the newest text is worth typesetting; the engine that runs is ended
    // and the request waits until it is gone, so that two never run together.
    // A dump of the preamble is let finish: the runs after it start from it.
    _pending = snapshot;
    setState(State::Typesetting);
    if (!_killed && !_dumping) {
        _killed = true;
        LatexCompileThread::endEngine(_engine.get());
    }
}

void PreviewBuild::cancel()
{
    _pending.reset();
    if (_engine && !_killed) {
        _killed = true;
        LatexCompileThread::endEngine(_engine.get());
    }
    setState(State::Idle);
}

void PreviewBuild::start(const PreviewSnapshot &snapshot)
{
    _running = snapshot;
    _killed = false;
    _timedOut = false;
    _output.clear();
    setState(State::Typesetting);

    if (!_folder || _folder->rootPath() != absoluteClean(snapshot.rootPath)) {
        removeFolder(std::exchange(_folder, std::make_shared<PreviewFolder>(snapshot.rootPath)));
        _format = PreviewFormat();
    }
    QStringList files = snapshot.files;
    for (const PreviewText &text : snapshot.texts)
        files << text.path;
    QString why = _folder->prepare(files);
    if (why.isEmpty())
        why = _folder->writeCopies(snapshot.texts);
    if (why.isEmpty() && !QFileInfo(_folder->rootFolder()).isDir())
        why = tr("The document's folder %1 no longer exists.").arg(_folder->rootFolder());
    _engineName = EngineChoice::engineNamed(snapshot.engine).isEmpty()
                      ? snapshot.engine
                      : EngineChoice::engineNamed(snapshot.engine);
    const QString engineFolder =
        UserDefaults::standardUserDefaults().stringForKey(QSTexEngineDirectoryPath);
    _program = QDir(engineFolder).filePath(_engineName);
    if (why.isEmpty() && !QFileInfo(_program).isExecutable())
        why = tr("%1 is not installed in %2: the engine folder is set in the preferences.")
                  .arg(_engineName, engineFolder);
    if (!why.isEmpty()) {
        fail(QString(), 0, why);
        return;
    }

    const QString rootName = QFileInfo(_folder->rootPath()).fileName();
    _jobName = rootName.endsWith(QStringLiteral(".tex")) ? rootName.chopped(4) : rootName;
    // An output left by a run that was ended is never taken for this run's.
    _folder->removeOutputs(_jobName);
    if (!std::exchange(_auxSound, false))
        _folder->restoreAux(_jobName);
    // The \includeonly is read from the root's .aux, as the class comment says why.
    _folder->typesetOnly(_jobName,
                         plainIncludeName(snapshot.includeOnly) ? snapshot.includeOnly : QString());
    const QString copy = _folder->copyPath(_folder->rootPath());
    _preambleKey = PreviewFormat::preambleKey(_engineName,
                                              QFileInfo::exists(copy) ? copy : _folder->rootPath());
    const QString format = _format.formatFor(_preambleKey, *_folder);

    // The engine stops at the first error: a preview shows where the text stops
    // making sense, and a half-typed command does not cost a whole run.
    QStringList arguments{QStringLiteral("-interaction=nonstopmode"),
                          QStringLiteral("-halt-on-error"),
                          QStringLiteral("-file-line-error"),
                          QStringLiteral("-synctex=1"),
                          QStringLiteral("-no-shell-escape"),
                          QStringLiteral("-recorder"),
                          QStringLiteral("-output-directory=") + _folder->path(),
                          QStringLiteral("-jobname=") + _jobName};
    if (!format.isEmpty())
        arguments << QStringLiteral("-fmt=") + format;
    launch(arguments << rootName);
}

void PreviewBuild::startDump()
{
    _dumping = true;
    _killed = false;
    _timedOut = false;
    launch(PreviewFormat::dumpArguments(_engineName, _jobName,
                                        QFileInfo(_folder->rootPath()).fileName(), *_folder));
}

void PreviewBuild::launch(const QStringList &arguments)
{
    auto engine = std::make_unique<QProcess>();
    engine->setProcessChannelMode(QProcess::MergedChannels);
    // An engine that asks for input gets end of input rather than waiting forever.
    engine->setStandardInputFile(QProcess::nullDevice());
    engine->setWorkingDirectory(_folder->rootFolder());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // No "//": the private folder is searched by the paths files are named by, not
    // through its subfolders; the trailing ":" (or the user's own list) keeps the
    // engine's search path after it.
    environment.insert(QStringLiteral("TEXINPUTS"),
                       _folder->path() + u':' + environment.value(QStringLiteral("TEXINPUTS")));
    // TeX writes files only below the output folder, whatever the installation allows.
    environment.insert(QStringLiteral("openout_any"), QStringLiteral("p"));
    environment.insert(QStringLiteral("shell_escape"), QStringLiteral("f"));
    // Unbroken log lines, as the log parser reads them best.
    environment.insert(QStringLiteral("max_print_line"), QStringLiteral("100000"));
    // A format that cannot be found is said, never made by the installation's
    // scripts (which would write to the user's TeX folders).
    environment.insert(QStringLiteral("MKTEXFMT"), QStringLiteral("0"));
    // The preamble's format is named, not given by its path: the engine makes the
    // name of its recorder file from the format's.
    environment.insert(QStringLiteral("TEXFORMATS"),
                       _folder->path() + u':' + environment.value(QStringLiteral("TEXFORMATS")));
    engine->setProcessEnvironment(environment);
    // A group of its own, ended as a whole; below the editor's priority, so that
    // typing is never slowed by a preview.
    engine->setChildProcessModifier([] {
        ::setpgid(0, 0);
        if (::getpriority(PRIO_PROCESS, 0) < 10)
            ::setpriority(PRIO_PROCESS, 0, 10);
    });
    connect(engine.get(), &QProcess::readyRead, this, [this] {
        _output += _engine->readAll();
        if (_output.size() > 2 * outputKept)
            _output.remove(0, _output.size() - outputKept);
    });
    connect(engine.get(), &QProcess::finished, this, [this] { engineEnded(true); });
    connect(engine.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            engineEnded(false);
    });
    _engine = std::move(engine);
    _engine->start(_program, arguments, QIODevice::ReadOnly);
    if (_engine)
        _timeLimitTimer.start(_timeLimit);
}

void PreviewBuild::engineEnded(bool started)
{
    _timeLimitTimer.stop();
    QProcess *engine = _engine.release();
    if (!engine)
        return;
    engine->disconnect(this);
    _output += engine->readAll();
    const bool succeeded =
        started && engine->exitStatus() == QProcess::NormalExit && engine->exitCode() == 0;
    const QString startError = engine->errorString();
    // Deleted once its signal has returned.
    engine->deleteLater();

    // A dump that ran its course or its time; one that was cancelled may be tried again.
    const bool dump = std::exchange(_dumping, false);
    if (dump && (!_killed || _timedOut)) {
        const QString why = _format.dumpEnded(_preambleKey, succeeded, _jobName, *_folder);
        if (!why.isEmpty() && !_toldNoFormat) {
            _toldNoFormat = true;
            emit notice(tr("Previews of this document typeset its preamble every time, because "
                           "it cannot be made into a format: %1")
                            .arg(why));
        }
    }
    if (_pending) {
        const PreviewSnapshot next = std::move(*_pending);
        _pending.reset();
        start(next);
        return;
    }
    // The state stays what the preview before the dump made it.
    if (dump)
        return;
    if (!started) {
        fail(QString(), 0, tr("The engine could not be started: %1").arg(startError));
        return;
    }
    if (_timedOut) {
        fail(QString(), 0,
             tr("The preview took longer than %1 s and was stopped.")
                 .arg(QString::number(_timeLimit / 1000.0)));
        return;
    }
    // Cancelled: the state already says so.
    if (_killed)
        return;
    readRun(succeeded);
}

void PreviewBuild::readRun(bool succeeded)
{
    noticeFilesReadFromDisk();
    if (succeeded) {
        const QString pdf = _folder->publish(_jobName);
        if (!pdf.isEmpty()) {
            _pdfPath = pdf;
            removeFolder(std::exchange(_shownFolder, _folder));
            _shownCopies = _folder->copies();
            _folder->keepAux(_jobName);
            _auxSound = true;
            setState(State::UpToDate);
            emit finished(pdf);
            // The preamble is made into a format while the user reads the new PDF.
            if (!_engine && !_pending && _format.wanted(_preambleKey, *_folder))
                startDump();
            return;
        }
    }
    QFile log(_folder->outputPath(_jobName, QStringLiteral(".log")));
    const QByteArray bytes = log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    QSet<QString> documentFiles;
    for (const QString &file : std::as_const(_running.files))
        documentFiles.insert(absoluteClean(file));
    for (const PreviewText &text : std::as_const(_running.texts))
        documentFiles.insert(absoluteClean(text.path));
    Stop stop = firstError(bytes, *_folder, documentFiles);
    if (stop.message.isEmpty())
        stop.message = LogOutcome::reasonInOutput(QString::fromUtf8(_output)).value(0);
    if (stop.message.isEmpty())
        stop.message = tr("The engine stopped without saying why.");
    fail(stop.file, stop.line, stop.message);
}

void PreviewBuild::noticeFilesReadFromDisk()
{
    // The recorder's list names every file the engine opened: an unsaved file it
    // read from the user's folder was named so that the private copy could not
    // shadow it (or has none, outside the root's folder).
    QSet<QString> unsaved;
    for (const PreviewText &text : std::as_const(_running.texts))
        unsaved.insert(absoluteClean(text.path));
    QFile recorded(_folder->outputPath(_jobName, QStringLiteral(".fls")));
    if (unsaved.isEmpty() || !recorded.open(QIODevice::ReadOnly))
        return;
    const QDir root(_folder->rootFolder());
    QStringList names;
    while (!recorded.atEnd()) {
        const QByteArray line = recorded.readLine().trimmed();
        if (!line.startsWith("INPUT "))
            continue;
        const QString path = QDir::cleanPath(root.absoluteFilePath(QFile::decodeName(line.mid(6))));
        if (unsaved.contains(path) && !_toldReadFromDisk.contains(path)) {
            _toldReadFromDisk.insert(path);
            names << root.relativeFilePath(path);
        }
    }
    if (!names.isEmpty())
        emit notice(tr("The preview uses the saved text of %1: the document names it by a path "
                       "that starts with \"./\", \"../\" or \"/\", or it is outside the "
                       "document's folder, so its unsaved text cannot be given to the engine.")
                        .arg(names.join(QStringLiteral(", "))));
}

void PreviewBuild::fail(const QString &file, int line, const QString &message)
{
    setState(State::Failed);
    emit failed(file, line, message);
}

void PreviewBuild::setState(State state)
{
    if (_state == state)
        return;
    _state = state;
    emit stateChanged(state);
}

QString PreviewBuild::userPath(const QString &path) const
{
    return _shownFolder ? _shownFolder->userPath(path) : QDir::cleanPath(path);
}

QString PreviewBuild::previewSourcePath(const QString &userPath) const
{
    const QString clean = QDir::cleanPath(userPath);
    return _shownFolder && _shownCopies.contains(clean) ? _shownFolder->copyPath(clean) : clean;
}
