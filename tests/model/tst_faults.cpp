#include "TestSupport.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/QSSectionNode.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Two texts of a few megabytes that a save replaces one with the other.
QString bigText(char letter)
{
    return QString(QStringLiteral("\\section{%1}\n").arg(QLatin1Char(letter))
                   + QString(80, QLatin1Char(letter)) + u'\n')
        .repeated(40000);
}

// The child's part of the kill test: saves the two texts in turn until killed.
int saveForever(const QString &path)
{
    const std::shared_ptr<QSFile> file = QSFile::initWithFilePath(QUrl::fromLocalFile(path));
    for (int turn = 0;; ++turn) {
        file->setContent(bigText(turn % 2 ? 'b' : 'a'));
        if (!file->saveFile())
            return 1;
    }
}

// The child's part of the permission test: one save of a new text. 1 when the
// save failed with a reason and the text stayed in memory.
int saveOnce(const QString &path)
{
    const std::shared_ptr<QSFile> file = QSFile::initWithFilePath(QUrl::fromLocalFile(path));
    if (!file->treeRootNode())
        return 3;
    const QString text = QStringLiteral("new text\n");
    file->setContent(text);
    if (file->saveFile())
        return 0;
    std::fputs(qPrintable(file->lastSaveError()), stderr);
    return file->content() == text && !file->lastSaveError().isEmpty() ? 1 : 2;
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void failedSavesKeepTheText();
    void savesThatPermissionsForbidKeepTheText();
    void killedWhileSavingLeavesAWholeFile();
    void oddFilesOpenOrAreRefused();
};

// A save past the limit on file sizes (as with prlimit --fsize), whose write stops
// short, leaves the old file on disk, and the text and the reason with the program.
// (A save that cannot even begin is the permission test's.)
void TestFaults::failedSavesKeepTheText()
{
    TestFolder folder;
    QSFilePool pool;
    const QString path = folder.write("a.tex", "old\n");
    const std::shared_ptr<QSFile> file = pool.readFile(QUrl::fromLocalFile(path));
    file->setContent(bigText('x'));
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = previous;
    small.rlim_cur = 4096;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = file->saveFile();
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    QVERIFY(!saved);
    QVERIFY(!file->lastSaveError().isEmpty());
    QCOMPARE(TestFolder::read(path), QByteArray("old\n"));
    QCOMPARE(file->content(), bigText('x'));
    QVERIFY(file->saveFile());
    QCOMPARE(TestFolder::read(path), bigText('x').toUtf8());
}

// A read-only file, and a file in a folder that cannot be written, as a user
// other than root (who may write anything): the save fails with a reason and
// the file on disk stays as it was.
void TestFaults::savesThatPermissionsForbidKeepTheText()
{
    TestFolder folder;
    using P = QFile;
    const QFile::Permissions owner = P::ReadOwner | P::WriteOwner | P::ExeOwner;
    const QFile::Permissions everyone = owner | P::ReadOther | P::ExeOther;
    QVERIFY(QFile::setPermissions(folder.path(""), everyone));
    // The folder's permissions, then the file's.
    for (const auto &[folderMode, fileMode] :
         {std::pair{everyone | P::WriteOther, P::ReadOwner | P::ReadOther},
          {everyone, P::ReadOwner | P::WriteOwner | P::ReadOther | P::WriteOther}}) {
        const QString path = folder.write(QStringLiteral("%1/a.tex").arg(int(fileMode)), "old\n");
        QVERIFY(QFile::setPermissions(path, fileMode));
        QVERIFY(QFile::setPermissions(QFileInfo(path).path(), folderMode));
        QProcess child;
        if (geteuid() == 0) {
            child.setChildProcessModifier([] {
                if (setgid(65534) != 0 || setuid(65534) != 0)
                    _exit(4);
            });
        }
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--save-once"), path});
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitCode(), 1);
        QVERIFY(!child.readAllStandardError().isEmpty());
        QCOMPARE(TestFolder::read(path), QByteArray("old\n"));
        QVERIFY(QFile::setPermissions(QFileInfo(path).path(), everyone | P::WriteOwner));
    }
}

// An editor killed in the middle of saving, again and again: the file on disk is
// always one whole text, never a mix or a truncated one.
void TestFaults::killedWhileSavingLeavesAWholeFile()
{
    TestFolder folder;
    const QByteArray a = bigText('a').toUtf8(), b = bigText('b').toUtf8();
    const QString path = folder.write("kept.tex", a);
    QRandomGenerator random(13);
    for (int round = 0; round < 12; ++round) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--save-forever"), path});
        QVERIFY(child.waitForStarted());
        QTest::qWait(20 + int(random.bounded(120)));
        child.kill();
        QVERIFY(child.waitForFinished());
        const QByteArray onDisk = TestFolder::read(path);
        QVERIFY2(onDisk == a || onDisk == b,
                 qPrintable(QStringLiteral("round %1: %2 bytes").arg(round).arg(onDisk.size())));
    }
}

// Binary files are refused; the files of tests/data/files/odd (a byte-order mark, CR LF
// and CR line ends, a name with a space and other letters), links, a 200 MB file and
// include chains a thousand files deep open, with trees whose text is the file's.
void TestFaults::oddFilesOpenOrAreRefused()
{
    TestFolder folder;
    QSFilePool pool;
    QByteArray binary(4096, 0);
    for (qsizetype i = 0; i < binary.size(); ++i)
        binary[i] = char(QRandomGenerator(7).bounded(256) ^ i);
    QVERIFY(!pool.readFile(QUrl::fromLocalFile(folder.write("binary.tex", binary))));

    folder.copyData("files/odd");
    for (const QString &name : QDir(dataPath("files/odd")).entryList(QDir::Files)) {
        const QByteArray bytes = TestFolder::read(folder.path(name));
        const QByteArray lineEnd =
            bytes.contains("\r\n") ? "\r\n" : (bytes.contains('\r') ? "\r" : "\n");
        const std::shared_ptr<QSFile> file = pool.readFile(folder.url(name));
        QVERIFY2(file, qPrintable(name));
        {
            std::lock_guard lock(QSFilePool::documentModelLock());
            QCOMPARE(file->treeRootNode()->nodeDataWithChildren(), file->content());
            QVERIFY(!file->treeRootNode()->childrenWithoutTextNodes().isEmpty());
        }
        // Held with line feeds only, as the text view has it; saved with a line typed,
        // every byte comes back, the mark and the line ends too, and the new line's.
        QVERIFY(!file->content().contains(u'\r'));
        file->setContent(file->content() + "more\n");
        QVERIFY(file->saveFile());
        QCOMPARE(TestFolder::read(file->pathText()), bytes + "more" + lineEnd);
    }
    QVERIFY(QFile::link(folder.path("bom.tex"), folder.path("link.tex")));
    QVERIFY(pool.readFile(folder.url("link.tex")));

    for (int i = 0; i < 1000; ++i)
        folder.write(QStringLiteral("deep/f%1.tex").arg(i),
                     QStringLiteral("\\section{S%1}\n\\input{f%2}\n").arg(i).arg(i + 1).toUtf8());
    folder.write("deep/f1000.tex", "the end\n");
    const std::shared_ptr<QSFile> deep = pool.readFile(folder.url("deep/f0.tex"));
    QCOMPARE(QSFilePool::fileList(deep.get()).size(), 1001);

    // 200 MB, a heading every ten lines.
    QByteArray tenLines = "\\section{Heading}\n";
    while (tenLines.count('\n') < 10)
        tenLines += QByteArray(99, 'w') + '\n';
    QFile huge(folder.path("huge.tex"));
    QVERIFY(huge.open(QIODevice::WriteOnly));
    const QByteArray block = tenLines.repeated(1000);
    for (qsizetype written = 0; written < 200'000'000; written += block.size())
        QVERIFY(huge.write(block) == block.size());
    huge.close();
    const std::shared_ptr<QSFile> big = pool.readFile(folder.url("huge.tex"));
    QCOMPARE(big->content().size(), huge.size());
    QCOMPARE(big->treeRootNode()->childrenWithoutTextNodes().size(), huge.size() / tenLines.size());
}

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--save-forever")
        return saveForever(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && QByteArray(argv[1]) == "--save-once")
        return saveOnce(QString::fromLocal8Bit(argv[2]));
    TestFaults test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_faults.moc"
