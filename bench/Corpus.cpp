#include "Corpus.h"

#include "platform/UserDefaults.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

QTemporaryDir &folder()
{
    static QTemporaryDir dir;
    static const bool configured = [] {
        UserDefaults::standardUserDefaults().useSettingsFile(
            dir.filePath(QStringLiteral("settings.ini")));
        return true;
    }();
    Q_UNUSED(configured);
    return dir;
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write the benchmark file %s", qPrintable(path));
}

} // namespace

const QString &Corpus::largeFilePath()
{
    static const QString path = [] {
        const QString filePath = folder().filePath(QStringLiteral("large.tex"));
        QByteArray text = "\\documentclass{book}\n\\begin{document}\n";
        const QByteArray paragraph =
            "Sätze über das Verhalten von $f(x) = \\sum_{k=0}^n a_k x^k$ folgen aus dem Lemma. "
            "% a comment with \\section{not real}? it counts all the same\n";
        const char *commands[] = {"chapter", "section", "subsection", "subsubsection"};
        for (int i = 0; i < 10000; ++i) {
            text +=
                QByteArray("\\") + commands[i % 4] + "{Heading " + QByteArray::number(i) + "}\n";
            while (text.size() < qsizetype(i + 1) * 500)
                text += paragraph;
        }
        text += "\\end{document}\n";
        write(filePath, text);
        return filePath;
    }();
    return path;
}

QStringList Corpus::largeLogFileNames()
{
    QStringList names;
    for (int i = 0; i < 200; ++i)
        names << QStringLiteral("part%1.tex").arg(i) << QStringLiteral("chapters/ch%1.tex").arg(i);
    return names;
}

const QString &Corpus::largeLogPath()
{
    static const QString path = [] {
        const QString logs = QStringLiteral(QUILLSET_SOURCE_DIR "/tests/data/compile/");
        QList<QByteArray> segments;
        QByteArray preamble;
        for (const char *fixture :
             {"include-error", "missing-dollar", "warnings", "subfolder", "after-include"}) {
            QFile log(logs + QLatin1String(fixture) + QStringLiteral("/main.log"));
            if (!log.open(QIODevice::ReadOnly))
                qFatal("cannot read the fixture log %s", fixture);
            const QByteArray text = log.readAll();
            const qsizetype start = text.indexOf("(./main.tex");
            preamble = text.left(start);
            segments << text.mid(start);
        }
        // Each repetition names other files, as a long document's log does.
        QByteArray text = preamble;
        for (int i = 0; text.size() < 50 * 1024 * 1024; ++i) {
            QByteArray segment = segments.at(i % segments.size());
            segment.replace("main.tex", "part" + QByteArray::number(i % 200) + ".tex")
                .replace("intro.tex", "chapters/ch" + QByteArray::number(i % 200) + ".tex")
                .replace("chapters/one.tex", "notheld" + QByteArray::number(i % 200) + ".tex");
            text += segment;
        }
        const QString filePath = folder().filePath(QStringLiteral("large.log"));
        write(filePath, text);
        return filePath;
    }();
    return path;
}
