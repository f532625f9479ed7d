#include "Corpus.h"

#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <iterator>
#include <unistd.h>

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
        // Prose, math and comments between the headings; now and then a heading that
        // was commented out, which the outline counts like any other.
        const QByteArray sentences[] = {
            "Sätze über das Verhalten von $f(x) = \\sum_{k=0}^n a_k x^k$ folgen aus dem Lemma. ",
            "The pools were sampled at low tide, and the salinity rose by $\\Delta S = 0.4$. ",
            "Each value is the mean of three readings (see Table~\\ref{tab:one}).\n",
            "% a remark for the authors only\n",
            "The heat balance of a pool follows from the energy that the sun brings in. "};
        const char *commands[] = {"chapter", "section", "subsection", "subsubsection"};
        int sentence = 0;
        for (int i = 0; i < 10000; ++i) {
            text +=
                QByteArray("\\") + commands[i % 4] + "{Heading " + QByteArray::number(i) + "}\n";
            if (i % 20 == 0)
                text += "% \\section{An older heading}\n";
            while (text.size() < qsizetype(i + 1) * 500)
                text += sentences[sentence++ % std::size(sentences)];
            text += "\n";
        }
        text += "\\end{document}\n";
        write(filePath, text);
        return filePath;
    }();
    return path;
}

const QString &Corpus::hugeFilePath()
{
    static const QString path = [] {
        QFile large(largeFilePath());
        if (!large.open(QIODevice::ReadOnly))
            qFatal("cannot read the benchmark file %s", qPrintable(largeFilePath()));
        const QByteArray text = large.readAll();
        const QByteArray begin = "\\begin{document}\n";
        const qsizetype bodyStart = text.indexOf(begin) + begin.size();
        const qsizetype bodyEnd = text.lastIndexOf("\\end{document}");
        const QByteArray body = text.mid(bodyStart, bodyEnd - bodyStart);
        const QString filePath = folder().filePath(QStringLiteral("huge.tex"));
        write(filePath, text.left(bodyStart) + body.repeated(40) + text.mid(bodyEnd));
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

namespace {

// One part of a chapter file: sectioning commands in the order a book uses them,
// each followed by about a kilobyte of paragraphs, displayed math, comments and now
// and then a table; every section and equation has a label.
QByteArray chapterText(int chapter, int part, QRandomGenerator &random)
{
    static const char *words[] = {"tide",        "pool", "salinity", "the",         "of",
                                  "measured",    "in",   "water",    "rock",        "and",
                                  "temperature", "with", "model",    "each",        "was",
                                  "Gezeiten",    "über", "a",        "température", "heat"};
    auto paragraph = [&] {
        QByteArray text;
        const int length = 50 + int(random.bounded(80));
        for (int i = 0; i < length; ++i) {
            text += words[random.bounded(int(std::size(words)))];
            text += i % 14 == 13 ? ".\n" : " ";
        }
        return text + ".\n\n";
    };
    QByteArray text = "\\chapter{Chapter " + QByteArray::number(chapter) + "}\n" + paragraph();
    for (int section = 0; section < 20; ++section) {
        const QByteArray id = QByteArray::number(chapter) + "." + QByteArray::number(part) + "."
                              + QByteArray::number(section);
        text += "\\section{Section " + QByteArray::number(section) + " of "
                + QByteArray::number(chapter) + "}\\label{sec:" + id + "}\n" + paragraph();
        text += section % 10 == 0 ? "% \\section{An older heading}\n" : "% to check again\n";
        for (int sub = 0; sub < 2; ++sub) {
            text += "\\subsection{Part " + QByteArray::number(sub) + "}\n" + paragraph();
            text += "\\begin{equation}\\label{eq:" + id + "." + QByteArray::number(sub)
                    + "}\n  \\rho c h \\frac{dT}{dt} = Q_{\\mathrm{sun}} - "
                      "Q_{\\mathrm{evap}} + "
                    + QByteArray::number(random.bounded(1000)) + "\n\\end{equation}\n";
            text += paragraph();
            text += "\\subsubsection{Detail " + QByteArray::number(sub) + "}\n" + paragraph();
        }
        if (section % 8 == 0)
            text += "\\begin{tabular}{lrr}\nPool & Depth & Salinity \\\\\n\\hline\n"
                    "A & 0.4 & 35.1 \\\\\nB & 1.2 & 34.8 \\\\\n\\end{tabular}\n\n";
    }
    return text;
}

} // namespace

const QString &Corpus::bookRootPath()
{
    static const QString path = [] {
        const QDir book(folder().filePath(QStringLiteral("book")));
        QRandomGenerator random(2026);
        QByteArray root = "\\documentclass{book}\n\\usepackage{amsmath}\n\\begin{document}\n";
        qsizetype total = 0;
        for (int chapter = 0; chapter < 99; ++chapter) {
            const QString name = QStringLiteral("part%1/chapter%2").arg(chapter / 10).arg(chapter);
            QByteArray text;
            for (int part = 0; text.size() < 200 * 1024; ++part)
                text += chapterText(chapter, part, random);
            book.mkpath(name.section(u'/', 0, 0));
            write(book.filePath(name + QStringLiteral(".tex")), text);
            total += text.size();
            root += (chapter % 3 == 0 ? "\\include{" : "\\input{") + name.toUtf8() + "}\n";
        }
        root += "\\end{document}\n";
        const QString rootPath = book.filePath(QStringLiteral("book.tex"));
        write(rootPath, root);
        return rootPath;
    }();
    return path;
}

const QString &Corpus::bookIncludedRootPath()
{
    static const QString path = [] {
        QFile book(bookRootPath());
        if (!book.open(QIODevice::ReadOnly))
            qFatal("cannot read the benchmark file %s", qPrintable(bookRootPath()));
        const QString rootPath =
            QFileInfo(bookRootPath()).dir().filePath(QStringLiteral("book-included.tex"));
        write(rootPath, book.readAll().replace("\\input{", "\\include{"));
        return rootPath;
    }();
    return path;
}

const QString &Corpus::largeSyncPath()
{
    static const QString path = [] {
        QRandomGenerator random(500);
        QByteArray text = "book\nversion 1\n";
        int record = 0;
        int file = 0;
        int line = 1;
        QByteArray pending; // position records of the page being filled
        for (int page = 1; page <= 500; ++page) {
            // A new included file every five pages, its block closed after them.
            if (page % 5 == 1) {
                text +=
                    "l " + QByteArray::number(record++) + " " + QByteArray::number(3 + file) + "\n";
                text += "(part" + QByteArray::number(file / 10) + "/chapter"
                        + QByteArray::number(file) + "\n";
                line = 1;
            }
            for (int row = 0; row < 45; ++row) {
                const int records = 1 + int(random.bounded(3));
                for (int i = 0; i < records; ++i) {
                    text +=
                        "l " + QByteArray::number(record) + " " + QByteArray::number(line) + "\n";
                    pending += "p " + QByteArray::number(record) + " 8799518 "
                               + QByteArray::number(50644704 - row * 1000000) + "\n";
                    ++record;
                }
                line += 1 + int(random.bounded(2));
            }
            text += "s " + QByteArray::number(page) + "\n" + pending;
            pending.clear();
            if (page % 5 == 0) {
                text += ")\n";
                ++file;
            }
        }
        const QString filePath = folder().filePath(QStringLiteral("book.pdfsync"));
        write(filePath, text);
        return filePath;
    }();
    return path;
}

QString Corpus::copyExampleThesis(const QString &folder)
{
    const QDir example(QStringLiteral(QUILLSET_SOURCE_DIR "/examples/thesis"));
    const QDir into(folder);
    into.mkpath(QStringLiteral("chapters"));
    for (const char *name :
         {"thesis.tex", "appendix.tex", "references.bib", "chapters/introduction.tex",
          "chapters/methods.tex", "chapters/results.tex"})
        QFile::copy(example.filePath(QString::fromUtf8(name)),
                    into.filePath(QString::fromUtf8(name)));
    return into.filePath(QStringLiteral("thesis.tex"));
}

int Corpus::enginesAlive()
{
    int alive = 0;
    const QByteArray self = QByteArray::number(qint64(getpid()));
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        // "pid (name) state ppid ...": the parent is the second field after the name.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1] == self && line.contains("(pdf"))
            ++alive;
    }
    return alive;
}
