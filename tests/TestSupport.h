#pragma once

#include "platform/UserDefaults.h"

#include <QApplication>
#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QThreadPool>
#include <QUrl>
#include <cstdio>
#include <unistd.h>

// The program's log lines are quiet unless turned on; the tests hear them all.
inline const bool quillsetLogLinesOn = [] {
    QLoggingCategory::setFilterRules(QStringLiteral("quillset.*=true"));
    return true;
}();

// A file or folder of the fixtures under tests/data.
inline QString dataPath(const QString &name)
{
    return QStringLiteral(QUILLSET_SOURCE_DIR "/tests/data/") + name;
}

// Files are read and written in this encoding from now on, as the preferences set it.
inline void setEncoding(int number)
{
    UserDefaults::standardUserDefaults().setObject(number, QSFileEncoding);
}

// A temporary folder for a test's files, with the user defaults pointed at a
// settings file inside it so that no test touches the user's own settings.
class TestFolder
{
public:
    TestFolder()
    {
        UserDefaults::standardUserDefaults().useSettingsFile(
            _dir.filePath(QStringLiteral("settings.ini")));
    }

    QString path(const QString &name) const { return _dir.filePath(name); }
    QUrl url(const QString &name) const { return QUrl::fromLocalFile(path(name)); }

    QString write(const QString &name, const QByteArray &bytes) const
    {
        const QString filePath = path(name);
        QDir().mkpath(QFileInfo(filePath).absolutePath());
        QFile file(filePath);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write test file %s", qPrintable(filePath));
        return filePath;
    }

    // Several files at once, as pairs of name and content.
    void write(std::initializer_list<std::pair<QString, QByteArray>> files) const
    {
        for (const auto &[name, bytes] : files)
            write(name, bytes);
    }

    // Copies a folder of tests/data, with its sub-folders, into this folder.
    void copyData(const QString &name) const
    {
        const QDir data(dataPath(name));
        QDirIterator files(data.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString file = files.next();
            write(data.relativeFilePath(file), read(file));
        }
    }

    static QByteArray read(const QString &filePath)
    {
        QFile file(filePath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

    // A text file's lines without the empty ones and the comments, which begin with "#".
    static QStringList lines(const QString &filePath)
    {
        QStringList lines = QString::fromUtf8(read(filePath)).split(u'\n', Qt::SkipEmptyParts);
        lines.removeIf([](const QString &line) { return line.startsWith(u'#'); });
        return lines;
    }

private:
    QTemporaryDir _dir;
};

// Selects the text from one offset to the other in the view, or puts the caret at the first.
inline void select(QPlainTextEdit &view, int from, int to = -1)
{
    QTextCursor cursor(view.document());
    cursor.setPosition(from);
    cursor.setPosition(to < 0 ? from : to, QTextCursor::KeepAnchor);
    view.setTextCursor(cursor);
}

// Cases written down as data under tests/data, for a reader to check by eye. A case
// begins with a line "=== what it is about"; its parts follow, each after a line
// "--- name of the part". A part is the lines between, joined by line feeds: a
// part that ends with a line feed ends with an empty line. "<CR>" and "<TAB>" stand
// for a carriage return and a tab. Lines before the first case, or between its name
// and its first part, are comments.
struct GoldenCase
{
    QString name;
    QStringList labels, parts;
    QString part(const QString &label) const { return parts.value(labels.indexOf(label)); }
};
Q_DECLARE_METATYPE(GoldenCase)

inline QList<GoldenCase> goldenCases(const QString &name)
{
    QStringList lines = QString::fromUtf8(TestFolder::read(dataPath(name))).split(u'\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    QList<GoldenCase> cases;
    QStringList part;
    const auto endPart = [&] {
        // A part with no lines is an empty text, never a null one.
        if (!cases.isEmpty() && cases.last().labels.size() > cases.last().parts.size())
            cases.last().parts << (part.isEmpty() ? QStringLiteral("") : part.join(u'\n'));
        part.clear();
    };
    for (QString &line : lines) {
        if (line.startsWith(QStringLiteral("=== "))) {
            endPart();
            cases.append({line.mid(4), {}, {}});
        } else if (line.startsWith(QStringLiteral("--- ")) && !cases.isEmpty()) {
            endPart();
            cases.last().labels << line.mid(4);
        } else {
            part << line.replace("<CR>", "\r").replace("<TAB>", "\t");
        }
    }
    endPart();
    return cases;
}

// One row of a data-driven test, named "golden", for each case of the file.
inline void goldenRows(const QString &name)
{
    QTest::addColumn<GoldenCase>("golden");
    for (const GoldenCase &golden : goldenCases(name))
        QTest::newRow(qPrintable(golden.name)) << golden;
}

// One row of a data-driven test, named "fields", for each line of a table under
// tests/data whose fields are parted by tabs.
inline void tableRows(const QString &name)
{
    QTest::addColumn<QStringList>("fields");
    for (const QString &row : TestFolder::lines(dataPath(name)))
        QTest::newRow(qPrintable(row)) << row.split(u'\t');
}

// The threads of this process other than the main one, by name. ThreadSanitizer
// runs one of its own, unnamed, so under it one thread named as the process is
// left out; the program names each of its own threads.
inline QStringList otherThreads()
{
    QStringList names;
    const QString self = QString::number(getpid());
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (task == self)
            continue;
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        names << (comm.open(QIODevice::ReadOnly) ? QString::fromUtf8(comm.readAll().trimmed()) : task);
    }
#if defined(__SANITIZE_THREAD__)
    names.removeOne(QCoreApplication::applicationName().left(15));
#endif
    return names;
}

// A test run ends with the main thread alone: the windows a test left open are
// deleted (Qt PDF renders on threads of its own) and the pooled threads are waited
// for. A thread still running while the process exits races with the objects the
// exit destroys and with the sanitizers' checks at exit, so one left running fails
// the run, by name.
inline int endWithMainThreadAlone(int result)
{
    if (auto *application = qobject_cast<QApplication *>(QCoreApplication::instance()))
        qDeleteAll(application->topLevelWidgets());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QThreadPool::globalInstance()->waitForDone();
    // The list that ends the wait is the one judged: a thread the kernel lists for a
    // moment while it comes or goes is no thread left running.
    QDeadlineTimer deadline(10000);
    QStringList left = otherThreads();
    while (!left.isEmpty() && !deadline.hasExpired()) {
        QThread::msleep(10);
        left = otherThreads();
    }
    if (!left.isEmpty()) {
        std::fprintf(stderr, "FAIL: threads still running at exit: %s\n",
                     qPrintable(left.join(QStringLiteral(", "))));
        return result ? result : 1;
    }
    return result;
}

// The main of a test executable, with its application object, as QTEST_MAIN but
// ending with the main thread alone.
#define QUILLSET_TEST_MAIN_WITH(Application, TestObject)                                 \
    int main(int argc, char **argv)                                                       \
    {                                                                                     \
        QCoreApplication::setAttribute(Qt::AA_Use96Dpi);                                  \
        Application app(argc, argv);                                                      \
        int result = 0;                                                                   \
        {                                                                                 \
            TestObject test;                                                              \
            QTEST_SET_MAIN_SOURCE_PATH                                                    \
            result = QTest::qExec(&test, argc, argv);                                     \
        }                                                                                 \
        return endWithMainThreadAlone(result);                                            \
    }
#define QUILLSET_TEST_MAIN(TestObject) QUILLSET_TEST_MAIN_WITH(QApplication, TestObject)
#define QUILLSET_TEST_GUILESS_MAIN(TestObject) QUILLSET_TEST_MAIN_WITH(QCoreApplication, TestObject)
