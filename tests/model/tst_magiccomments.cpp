#include "TestSupport.h"
#include "model/MagicComments.h"

class TestMagicComments : public QObject
{
    Q_OBJECT

private slots:
    void readsTheLeadingCommentLines_data();
    void readsTheLeadingCommentLines();
    void readsOnlyTheHead();
    void readsTheHeadOfAFileOnDisk();
};

void TestMagicComments::readsTheLeadingCommentLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("spellcheck");
    QTest::addColumn<QString>("encoding");

    QTest::newRow("TeXShop's spelling") << "% !TEX TS-program = xelatex\n% !TEX encoding = UTF-8 "
                                           "Unicode\n\\documentclass{article}\n"
                                        << "xelatex"
                                        << ""
                                        << ""
                                        << "UTF-8 Unicode";
    QTest::newRow("no spaces") << "%!TeX program=lualatex\n"
                               << "lualatex"
                               << ""
                               << ""
                               << "";
    QTest::newRow("root and language") << "% !TeX root = ../thesis.tex\n"
                                          "% !TeX spellcheck = de_DE\n\\chapter{Eins}\n"
                                       << ""
                                       << "../thesis.tex"
                                       << "de_DE"
                                       << "";
    QTest::newRow("CR LF lines") << "% !TeX program = xelatex\r\n% !TeX root = main.tex\r\n"
                                 << "xelatex"
                                 << "main.tex"
                                 << ""
                                 << "";
    QTest::newRow("lone CR lines") << "% !TeX program = xelatex\r% !TeX root = main.tex\r"
                                   << "xelatex"
                                   << "main.tex"
                                   << ""
                                   << "";
    QTest::newRow("upper-case keys") << "% !TEX PROGRAM = XeLaTeX\n% !tex Root = a b.tex  \n"
                                     << "XeLaTeX"
                                     << "a b.tex"
                                     << ""
                                     << "";
    QTest::newRow("doubled percent") << "%% !TeX program = lualatex\n"
                                     << "lualatex"
                                     << ""
                                     << ""
                                     << "";
    QTest::newRow("among other comments and blank lines")
        << "% Thesis, chapter 2\n\n   % !TeX spellcheck = en_GB\n%\n% !TeX encoding = latin1\n"
        << ""
        << ""
        << "en_GB"
        << "latin1";
    QTest::newRow("byte order mark")
        << QChar(0xFEFF) + QStringLiteral("% !TeX program = xelatex\n") << "xelatex"
        << ""
        << ""
        << "";
    QTest::newRow("first of a key wins")
        << "% !TeX TS-program = xelatex\n% !TeX program = lualatex\n"
        << "xelatex"
        << ""
        << ""
        << "";
    QTest::newRow("after the documentclass, ignored")
        << "\\documentclass{article}\n% !TeX program = xelatex\n"
        << ""
        << ""
        << ""
        << "";
    QTest::newRow("after a line of text that starts with spaces")
        << "% !TeX root = a.tex\n  Text\n% !TeX program = xelatex\n"
        << ""
        << "a.tex"
        << ""
        << "";
    QTest::newRow("not magic") << "% TeX program = xelatex\n% !TeXprogram = xelatex\n"
                                  "% !TeX program\n% !TeX = xelatex\n% !TeX program =\n"
                               << ""
                               << ""
                               << ""
                               << "";
    QTest::newRow("unknown keys skipped")
        << "% !TeX TXS-program:compile = txs:///pdflatex\n% !BIB program = biber\n"
           "% !TeX program = pdflatex\n"
        << "pdflatex"
        << ""
        << ""
        << "";
}

void TestMagicComments::readsTheLeadingCommentLines()
{
    QFETCH(QString, text);
    const MagicComments found = MagicComments::read(text);
    QTEST(found.program, "program");
    QTEST(found.root, "root");
    QTEST(found.spellcheck, "spellcheck");
    QTEST(found.encoding, "encoding");
}

// A file of nothing but comments is not read to its end for its header.
void TestMagicComments::readsOnlyTheHead()
{
    const QString line = QStringLiteral("% a comment\n");
    QString text = line.repeated(MagicComments::headLines - 1) + "% !TeX program = xelatex\n";
    QCOMPARE(MagicComments::read(text).program, "xelatex");
    text = line.repeated(MagicComments::headLines) + "% !TeX program = xelatex\n";
    QCOMPARE(MagicComments::read(text).program, "");

    const QString wide = u'%' + QString(200, u' ') + u'\n';
    text = wide.repeated(MagicComments::headCharacters / wide.size() + 1) + "% !TeX root = a.tex\n";
    QCOMPARE(MagicComments::read(text).root, "");
}

// The root named by another file: its head only, in UTF-8 or else Latin-1.
void TestMagicComments::readsTheHeadOfAFileOnDisk()
{
    TestFolder folder;
    // The head ends inside a two-byte letter.
    QByteArray utf8 = "% !TeX root = th\xC3\xA8se.tex\n\\input{a}\n";
    utf8 += QByteArray(MagicComments::headCharacters - 1 - utf8.size(), 'x') + "\xC3\xA9 and more";
    folder.write("utf8.tex", utf8);
    QCOMPARE(MagicComments::readFile(folder.path("utf8.tex")).root, "thèse.tex");
    folder.write("latin1.tex", "% !TeX root = th\xE8se.tex\n% !TeX encoding = latin1\n");
    QCOMPARE(MagicComments::readFile(folder.path("latin1.tex")).root, "thèse.tex");
    QCOMPARE(MagicComments::readFile(folder.path("latin1.tex")).encoding, "latin1");
    QCOMPARE(MagicComments::readFile(folder.path("missing.tex")).root, "");
}

QTEST_GUILESS_MAIN(TestMagicComments)
#include "tst_magiccomments.moc"
