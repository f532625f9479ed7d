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
