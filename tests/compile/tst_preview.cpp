// Live previews with the real pdflatex: what is typeset, what is never written,
// one engine at a time, and the way back from the PDF to the user's files.
#include "TestSupport.h"
#include "compile/preview/PreviewBuild.h"
#include "compile/preview/PreviewFolder.h"
#include "pdf/SyncTexLookup.h"

#include <QFileInfo>
#include <QPdfDocument>
#include <QPdfSelection>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTimer>

namespace {

// A document whose run never ends.
const QByteArray endless("\\def\\x{\\x}\\x");

QByteArray document(const QByteArray &body)
{
    return "\\documentclass{article}\n\\begin{document}\n" + body + "\n\\end{document}\n";
}

// The engines this process started that are alive now, with their nice value and
// whether each leads a process group of its own.
struct Engine
{
    qint64 pid;
    int nice;
    bool groupLeader;
};
QList<Engine> engineChildren()
{
    QList<Engine> engines;
    const QByteArray self = QByteArray::number(qint64(getpid()));
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QByteArray stat = TestFolder::read(QStringLiteral("/proc/%1/stat").arg(pid));
        const qsizetype close = stat.lastIndexOf(')');
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (close < 0 || fields.size() < 17 || fields[1] != self
            || !stat.mid(stat.indexOf('(') + 1).startsWith("pdf"))
            continue;
        engines << Engine{pid.toLongLong(), fields[16].toInt(), fields[2] == pid.toLatin1()};
    }
    return engines;
}

QString pdfText(const QString &path)
{
    QPdfDocument pdf;
    if (pdf.load(path) != QPdfDocument::Error::None)
        return QStringLiteral("<no PDF>");
    QString text;
    for (int page = 0; page < pdf.pageCount(); ++page)
        text += pdf.getAllText(page).text();
    return text;
}

// Every file under a folder with its bytes and modification time.
QMap<QString, QPair<QByteArray, QDateTime>> filesUnder(const QString &folder)
{
    QMap<QString, QPair<QByteArray, QDateTime>> files;
    QDirIterator all(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (all.hasNext()) {
        const QString file = all.next();
        files.insert(file, {TestFolder::read(file), QFileInfo(file).lastModified()});
    }
    return files;
}

bool settled(const PreviewBuild &build)
{
    return QTest::qWaitFor(
        [&build] {
            return build.state() != PreviewBuild::State::Typesetting && !build.isEngineRunning();
        },
        60000);
}

} // namespace

class TestPreview : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void typesetsTheEditorsTextAndWritesNothingOfTheUsers();
    void unsavedTextTheEngineCannotBeGivenIsSaid();
    void failureIsAtTheLineOfTheUsersFile_data();
    void failureIsAtTheLineOfTheUsersFile();
    void oneEngineAtATime_data();
    void oneEngineAtATime();
    void hangingEngineAndShellEscape();
    void syncTexLeadsToTheUsersFiles_data();
    void syncTexLeadsToTheUsersFiles();
    void preambleFormat();
    void badPlaces_data();
    void badPlaces();
    void onlyTheChapterBeingEdited_data();
    void onlyTheChapterBeingEdited();
    void onlyAfterTheUsersOwnCompile_data();
    void onlyAfterTheUsersOwnCompile();

private:
    PreviewSnapshot snapshot(const QString &root, QList<PreviewText> texts = {},
                             const QString &includeOnly = QString()) const
    {
        return PreviewSnapshot{
            _folder.path(root), QStringLiteral("pdflatex"), texts, {}, includeOnly};
    }
    PreviewText unsaved(const QString &name, const QByteArray &text) const
    {
        return {_folder.path(name), QString::fromUtf8(text)};
    }
    // The text of the PDF once the request is typeset (and the engine gone).
    QString typeset(PreviewBuild &build, const QString &root, QList<PreviewText> texts = {},
                    const QString &includeOnly = QString()) const
    {
        build.request(snapshot(root, texts, includeOnly));
        return settled(build) ? pdfText(build.pdfPath()).simplified() : QStringLiteral("<running>");
    }

    TestFolder _folder;
};

void TestPreview::initTestCase()
{
    // The previews' folders go to the test's folder, never to the user's cache.
    qputenv("XDG_CACHE_HOME", _folder.path(QStringLiteral("cache")).toUtf8());
    if (!QFileInfo::exists(QStringLiteral("/usr/bin/pdflatex")))
        QSKIP("pdflatex is not installed");
}

void TestPreview::typesetsTheEditorsTextAndWritesNothingOfTheUsers()
{
    _folder.write({{"doc/main.tex", document("Saved root.\n\\include{chapters/ch}")},
                   {"doc/chapters/ch.tex", "Saved chapter.\n\\input{sections/sec}\n"},
                   {"doc/sections/sec.tex", "Saved section.\n"},
                   // What the user's own compile left beside the sources.
                   {"doc/main.aux", "\\relax\n"},
                   {"doc/chapters/ch.aux", "\\relax\n"},
                   {"doc/main.log", "the user's log"},
                   {"doc/main.pdf", "the user's PDF"},
                   {"doc/main.synctex.gz", "the user's sync data"}});
    const QString folder = _folder.path(QStringLiteral("doc"));
    const auto before = filesUnder(folder);
    // Previews work in a folder the user cannot write to.
    const auto permit = [&folder](QFile::Permissions permissions) {
        for (const QString &made : {folder + QStringLiteral("/chapters"), folder})
            QFile::setPermissions(made, permissions | QFile::ReadOwner | QFile::ExeOwner);
    };
    permit({});
    const auto writable = qScopeGuard([&permit] { permit(QFile::WriteOwner); });

    auto build = std::make_unique<PreviewBuild>();
    QSignalSpy finished(build.get(), &PreviewBuild::finished);
    QCOMPARE(typeset(*build, QStringLiteral("doc/main.tex"),
                     {unsaved("doc/main.tex", document("Unsaved root.\n\\include{chapters/ch}")),
                      unsaved("doc/sections/sec.tex", "Unsaved section.\n")}),
             QStringLiteral("Unsaved root. 1Saved chapter. Unsaved section. 2"));
    QCOMPARE(build->state(), PreviewBuild::State::UpToDate);
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first().toString(), build->pdfPath());
    QCOMPARE(filesUnder(folder), before);

    // Files saved since are read from disk again, not from the old copies.
    QCOMPARE(typeset(*build, QStringLiteral("doc/main.tex"),
                     {unsaved("doc/chapters/ch.tex", "Unsaved chapter.\n\\input{sections/sec}\n")}),
             QStringLiteral("Saved root. 1Unsaved chapter. Saved section. 2"));
    QCOMPARE(filesUnder(folder), before);
    // Nor is anything left in the cache.
    const QString copies = QFileInfo(build->pdfPath()).path();
    build.reset();
    QVERIFY(!QFileInfo::exists(copies));
}

void TestPreview::unsavedTextTheEngineCannotBeGivenIsSaid()
{
    _folder.write({{"dot/main.tex", document("\\input{./part/ch}\\input{part/other}")},
                   {"dot/part/ch.tex", "Saved chapter.\n"},
                   {"dot/part/other.tex", "Saved other.\n"}});
    PreviewBuild build;
    QSignalSpy notice(&build, &PreviewBuild::notice);
    const QList<PreviewText> texts{unsaved("dot/part/ch.tex", "Unsaved chapter.\n"),
                                   unsaved("dot/part/other.tex", "Unsaved other.\n")};
    typeset(build, QStringLiteral("dot/main.tex"), texts);
    QCOMPARE(typeset(build, QStringLiteral("dot/main.tex"), texts),
             QStringLiteral("Saved chapter. Unsaved other. 1"));
    // Said once, naming the one file.
    QCOMPARE(notice.size(), 1);
    QVERIFY(notice.first().first().toString().startsWith(
        QStringLiteral("The preview uses the saved text of part/ch.tex:")));
}

void TestPreview::failureIsAtTheLineOfTheUsersFile_data()
{
    QTest::addColumn<QByteArray>("savedChapter");
    QTest::addColumn<QString>("unsavedFile"); // none when empty
    QTest::addColumn<QByteArray>("unsavedText");
    QTest::addColumn<QString>("stop"); // file:line: message
    QTest::newRow("unsaved chapter")
        << QByteArray("Fine.\n") << "f/part/ch.tex" << QByteArray("One.\nTwo.\n\\undefinedthing\n")
        << "f/part/ch.tex:3: Undefined control sequence.";
    QTest::newRow("saved chapter")
        << QByteArray("One.\n\\undefinedthing\n") << QString() << QByteArray()
        << "f/part/ch.tex:2: Undefined control sequence.";
    QTest::newRow("unsaved root")
        << QByteArray("Fine.\n") << "f/main.tex"
        << QByteArray("\\documentclass{article}\n\\usepackage{nosuchpackage}\n\\begin{document}\n"
                      "\\end{document}\n")
        << "f/main.tex:3: LaTeX Error: File `nosuchpackage.sty' not found.";
}

void TestPreview::failureIsAtTheLineOfTheUsersFile()
{
    QFETCH(QByteArray, savedChapter);
    QFETCH(QString, unsavedFile);
    QFETCH(QByteArray, unsavedText);
    QFETCH(QString, stop);
    _folder.write(
        {{"f/main.tex", document("Root.\n\\input{part/ch}")}, {"f/part/ch.tex", savedChapter}});
    PreviewBuild build;
    QSignalSpy failed(&build, &PreviewBuild::failed);
    typeset(build, QStringLiteral("f/main.tex"),
            unsavedFile.isEmpty() ? QList<PreviewText>()
                                  : QList{unsaved(unsavedFile, unsavedText)});
    QCOMPARE(build.state(), PreviewBuild::State::Failed);
    QCOMPARE(failed.size(), 1);
    QCOMPARE(QStringLiteral("%1:%2: %3")
                 .arg(failed.first().at(0).toString(), failed.first().at(1).toString(),
                      failed.first().at(2).toString()),
             _folder.path(stop));
}

void TestPreview::oneEngineAtATime_data()
{
    QTest::addColumn<bool>("newerRequest"); // else the preview is cancelled
    QTest::newRow("a newer request") << true;
    QTest::newRow("cancelled") << false;
}

void TestPreview::oneEngineAtATime()
{
    QFETCH(bool, newerRequest);
    _folder.write("one/main.tex", document("Saved."));
    PreviewBuild build;
    // Only the newer request or the cancel can end the engine in time.
    build.setTimeLimit(600000);
    QSignalSpy finished(&build, &PreviewBuild::finished);
    QSignalSpy failed(&build, &PreviewBuild::failed);
    QList<Engine> seen;
    qsizetype mostAlive = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const QList<Engine> alive = engineChildren();
        mostAlive = qMax(mostAlive, alive.size());
        seen << alive;
    });
    sampler.start(1);
    const QString root = QStringLiteral("one/main.tex");
    build.request(snapshot(root, {unsaved(root, document(endless))}));
    QVERIFY(QTest::qWaitFor([] { return !engineChildren().isEmpty(); }, 10000));
    const qint64 first = engineChildren().first().pid;
    if (newerRequest) {
        build.request(snapshot(root, {unsaved(root, document(endless))}));
        QCOMPARE(typeset(build, root, {unsaved(root, document("Third."))}),
                 QStringLiteral("Third. 1"));
    } else {
        build.cancel();
        QVERIFY(settled(build));
    }
    sampler.stop();
    QVERIFY(!QFileInfo::exists(QStringLiteral("/proc/%1").arg(first)));
    QCOMPARE(mostAlive, 1);
    for (const Engine &engine : std::as_const(seen)) {
        QCOMPARE(engine.nice, 10);
        QVERIFY(engine.groupLeader);
    }
    QCOMPARE(failed.size(), 0);
    QCOMPARE(finished.size(), newerRequest ? 1 : 0);
    QCOMPARE(build.state(),
             newerRequest ? PreviewBuild::State::UpToDate : PreviewBuild::State::Idle);
}

void TestPreview::hangingEngineAndShellEscape()
{
    _folder.write({{"loop/main.tex", document(endless)},
                   {"escape/main.tex", document("\\immediate\\write18{touch marker}Text.")}});
    PreviewBuild build;
    build.setTimeLimit(1000);
    QSignalSpy failed(&build, &PreviewBuild::failed);
    typeset(build, QStringLiteral("loop/main.tex"));
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.first().at(2).toString(),
             QStringLiteral("The preview took longer than 1 s and was stopped."));
    QVERIFY(engineChildren().isEmpty());

    // Even where the installation or the user's environment allows shell escape. The
    // run gets time enough on a loaded machine (the engine runs at a low priority).
    build.setTimeLimit(60000);
    qputenv("shell_escape", "t");
    const auto restore = qScopeGuard([] { qunsetenv("shell_escape"); });
    QCOMPARE(typeset(build, QStringLiteral("escape/main.tex")), QStringLiteral("Text. 1"));
    QVERIFY(!QFileInfo::exists(_folder.path(QStringLiteral("escape/marker"))));
}

void TestPreview::syncTexLeadsToTheUsersFiles_data()
{
    QTest::addColumn<bool>("unsavedChapter");
    QTest::newRow("unsaved chapter") << true;
    QTest::newRow("saved chapter") << false;
}

void TestPreview::syncTexLeadsToTheUsersFiles()
{
    QFETCH(bool, unsavedChapter);
    _folder.write({{"sync/main.tex", document("Root text.\n\n\\input{chapters/ch}")},
                   {"sync/chapters/ch.tex", "Saved first.\n\nSaved second.\n"}});
    const QString chapter = _folder.path(QStringLiteral("sync/chapters/ch.tex"));
    const int line = unsavedChapter ? 5 : 3;
    PreviewBuild build;
    typeset(build, QStringLiteral("sync/main.tex"),
            unsavedChapter
                ? QList{unsaved("sync/chapters/ch.tex", "New.\n\nNew first.\n\nNew second.\n")}
                : QList<PreviewText>());
    QCOMPARE(build.state(), PreviewBuild::State::UpToDate);
    const auto position =
        SyncTexLookup::positionForLine(build.pdfPath(), build.previewSourcePath(chapter), line);
    QVERIFY(position);
    const auto source = SyncTexLookup::sourceForPoint(build.pdfPath(), position->page,
                                                      position->x + 2, position->y - 2);
    QVERIFY(source);
    QCOMPARE(build.userPath(source->path), chapter);
    QCOMPARE(source->line, line);
}

void TestPreview::preambleFormat()
{
    _folder.write({{"fmt/main.tex", "\\documentclass{article}\n\\input{macros}\n\\begin{document}\n"
                                    "\\word{} one.\n\\end{document}\n"},
                   {"fmt/macros.tex", "\\newcommand\\word{Alpha}\n"}});
    const QString root = _folder.path(QStringLiteral("fmt/main.tex"));
    const QString log = PreviewFolder::locationFor(root) + QStringLiteral("/main.log");
    PreviewBuild build;
    QSignalSpy notice(&build, &PreviewBuild::notice);
    const auto preview = [&](const QByteArray &preamble, const QByteArray &body) {
        return typeset(build, QStringLiteral("fmt/main.tex"),
                       {unsaved("fmt/main.tex",
                                preamble + "\\begin{document}\n" + body + "\n\\end{document}\n")});
    };
    const QByteArray preamble("\\documentclass{article}\n\\input{macros}\n");
    // The first preview dumps the preamble; the next starts from it.
    QCOMPARE(preview(preamble, "\\word{} one."), QStringLiteral("Alpha one. 1"));
    QCOMPARE(preview(preamble, "\\word{} two."), QStringLiteral("Alpha two. 1"));
    QVERIFY(TestFolder::read(log).contains("(preloaded format=main "));
    // A file the preamble read changed: the format is not used, then made again.
    _folder.write("fmt/macros.tex", "\\newcommand\\word{Beta}\n");
    QFile macros(_folder.path(QStringLiteral("fmt/macros.tex")));
    QVERIFY(macros.open(QIODevice::ReadWrite));
    macros.setFileTime(QDateTime::currentDateTime().addSecs(10), QFileDevice::FileModificationTime);
    QCOMPARE(preview(preamble, "\\word{} three."), QStringLiteral("Beta three. 1"));
    QCOMPARE(preview(preamble, "\\word{} four."), QStringLiteral("Beta four. 1"));
    QVERIFY(TestFolder::read(log).contains("(preloaded format=main "));
    QCOMPARE(notice.size(), 0);

    // A preamble that cannot be dumped: every run reads it, and the user is told once.
    const QByteArray grouped = preamble + "\\begingroup\n";
    QCOMPARE(preview(grouped, "\\word{} five."), QStringLiteral("Beta five. 1"));
    QCOMPARE(preview(grouped, "\\word{} six."), QStringLiteral("Beta six. 1"));
    QVERIFY(!TestFolder::read(log).contains("(preloaded format=main "));
    QCOMPARE(notice.size(), 1);
    QVERIFY(notice.first().first().toString().endsWith(
        QStringLiteral("cannot be made into a format: You can't dump inside a group.")));
}

void TestPreview::badPlaces_data()
{
    QTest::addColumn<QString>("cache");
    QTest::addColumn<QString>("removed"); // from disk
    QTest::addColumn<QString>("failure"); // none: the preview succeeds
    QTest::newRow("cache folder under a file") << "cachefile/sub"
                                               << ""
                                               << "cannot be created";
    QTest::newRow("document folder removed") << "cache"
                                             << "bad"
                                             << "no longer exists";
    QTest::newRow("root removed, its text still in the editor") << "cache"
                                                                << "bad/main.tex"
                                                                << "";
}

void TestPreview::badPlaces()
{
    QFETCH(QString, cache);
    QFETCH(QString, removed);
    QFETCH(QString, failure);
    _folder.write({{"cachefile", "a file"}, {"bad/main.tex", document("On disk.")}});
    qputenv("XDG_CACHE_HOME", _folder.path(cache).toUtf8());
    const auto restore = qScopeGuard(
        [this] { qputenv("XDG_CACHE_HOME", _folder.path(QStringLiteral("cache")).toUtf8()); });
    if (!removed.isEmpty() && !QFile::remove(_folder.path(removed)))
        QDir(_folder.path(removed)).removeRecursively();
    PreviewBuild build;
    QSignalSpy failed(&build, &PreviewBuild::failed);
    const QString text = typeset(build, QStringLiteral("bad/main.tex"),
                                 {unsaved(removed.isEmpty() ? "bad/other.tex" : "bad/main.tex",
                                          document("In the editor."))});
    if (failure.isEmpty()) {
        QCOMPARE(text, QStringLiteral("In the editor. 1"));
        return;
    }
    QCOMPARE(failed.size(), 1);
    QVERIFY2(failed.first().at(2).toString().contains(failure),
             qPrintable(failed.first().at(2).toString()));
    QVERIFY(engineChildren().isEmpty());
}

namespace {

// A root and three \include'd chapters, whose sections are numbered across them; the
// second chapter refers to the first and the third.
const QByteArray bookBody("\\begin{document}\nRoot text.\n\\include{chapters/one}\n"
                          "\\include{chapters/two}\n\\include{chapters/three}\n\\end{document}\n");
QByteArray chapterTwo(const char *text)
{
    return "\\section{Salinity}\n" + QByteArray(text) + " \\ref{sec:pools} and \\ref{sec:heat}.\n";
}
void writeBook(const TestFolder &folder, const QString &under)
{
    folder.write(
        {{under + "/main.tex", "\\documentclass{article}\n" + bookBody},
         {under + "/chapters/one.tex", "\\section{Tides}One.\\section{Pools}\\label{sec:pools}"},
         {under + "/chapters/two.tex", chapterTwo("Two")},
         {under + "/chapters/three.tex", "\\section{Heat}\\label{sec:heat}Three."}});
}
// Chapter n starts page n + 1; the pages' texts are read without a space between them.
QString book(const char *two, bool whole, const char *refs = "2 and 4")
{
    return QString::fromUtf8(
               whole ? "Root text. 11 Tides One. 2 Pools 23 Salinity %1 %2. 34 Heat Three. 4"
                     : "Root text. 13 Salinity %1 %2. 3")
        .arg(QString::fromUtf8(two), QString::fromUtf8(refs));
}

} // namespace

void TestPreview::onlyTheChapterBeingEdited_data()
{
    QTest::addColumn<QByteArray>("preamble");
    QTest::addColumn<bool>("format");
    QTest::newRow("from the preamble's format") << QByteArray("\\documentclass{article}\n") << true;
    QTest::newRow("preamble that cannot be dumped")
        << QByteArray("\\documentclass{article}\n\\begingroup\n") << false;
}

void TestPreview::onlyTheChapterBeingEdited()
{
    QFETCH(QByteArray, preamble);
    QFETCH(bool, format);
    writeBook(_folder, QStringLiteral("only"));
    const QString chapter = _folder.path(QStringLiteral("only/chapters/two.tex"));
    const auto before = filesUnder(_folder.path(QStringLiteral("only")));
    PreviewBuild build;
    QSignalSpy failed(&build, &PreviewBuild::failed);
    const auto preview = [&](const char *two,
                             const QString &only = QStringLiteral("chapters/two")) {
        return typeset(build, QStringLiteral("only/main.tex"),
                       {unsaved("only/main.tex", preamble + bookBody),
                        unsaved("only/chapters/two.tex", chapterTwo(two))},
                       only);
    };
    // No numbers are known yet: the whole document is typeset, once.
    QCOMPARE(preview("Two"), book("Two", true, "?? and ??"));
    QCOMPARE(preview("Edited"), book("Edited", false));
    QCOMPARE(TestFolder::read(QFileInfo(build.pdfPath()).path() + QStringLiteral("/main.log"))
                 .contains("(preloaded format=main "),
             format);
    const auto position =
        SyncTexLookup::positionForLine(build.pdfPath(), build.previewSourcePath(chapter), 2);
    QVERIFY(position);
    const auto source = SyncTexLookup::sourceForPoint(build.pdfPath(), position->page,
                                                      position->x + 2, position->y - 2);
    QVERIFY(source);
    QCOMPARE(build.userPath(source->path) + u':' + QString::number(source->line), chapter + ":2");
    preview("Edited\n\\undefinedthing");
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.first().at(0).toString() + u':' + failed.first().at(1).toString(),
             chapter + ":3");
    // After the error, the whole document and the chapter again, with all their numbers.
    QCOMPARE(preview("Two", QString()), book("Two", true));
    QCOMPARE(preview("Again"), book("Again", false));
    QCOMPARE(filesUnder(_folder.path(QStringLiteral("only"))), before);
}

void TestPreview::onlyAfterTheUsersOwnCompile_data()
{
    QTest::addColumn<QString>("includeOnly");
    QTest::addColumn<bool>("chapterOnly");
    QTest::newRow("as the root names it") << "chapters/two" << true;
    QTest::newRow("with its extension") << "chapters/two.tex" << true;
    QTest::newRow("not included") << "chapters/four" << false;
    QTest::newRow("brace") << "chapters/two}" << false;
    QTest::newRow("comma") << "chapters/two,chapters/one" << false;
    QTest::newRow("space at the end") << "chapters/two " << false;
}

void TestPreview::onlyAfterTheUsersOwnCompile()
{
    QFETCH(QString, includeOnly);
    QFETCH(bool, chapterOnly);
    // The user compiled the document in its folder, twice, as a compile of theirs would.
    writeBook(_folder, QStringLiteral("own"));
    for (int run = 0; run < 2; ++run) {
        QProcess pdflatex;
        pdflatex.setWorkingDirectory(_folder.path(QStringLiteral("own")));
        pdflatex.start(QStringLiteral("pdflatex"),
                       {QStringLiteral("-interaction=nonstopmode"), QStringLiteral("main.tex")});
        QVERIFY(pdflatex.waitForFinished(60000) && pdflatex.exitCode() == 0);
    }
    const auto before = filesUnder(_folder.path(QStringLiteral("own")));
    PreviewBuild build;
    QCOMPARE(typeset(build, QStringLiteral("own/main.tex"),
                     {unsaved("own/chapters/two.tex", chapterTwo("Edited"))}, includeOnly),
             book("Edited", !chapterOnly));
    QCOMPARE(filesUnder(_folder.path(QStringLiteral("own"))), before);
}

QUILLSET_TEST_MAIN(TestPreview)
#include "tst_preview.moc"
