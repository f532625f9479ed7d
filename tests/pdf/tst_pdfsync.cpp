#include "TestSupport.h"
#include "pdf/PdfSync.h"

#include <QDirIterator>

class TestPdfSync : public QObject
{
    Q_OBJECT

private slots:
    void pagesOfTheFixtureLines_data();
    void pagesOfTheFixtureLines();
    void textToPdfCases_data();
    void textToPdfCases();
    void pdfToTextFindsTheNearestRecord();
    void lineNumbers();
};

namespace {

QString fixtureSync(const QString &fixture = QString())
{
    return QString::fromUtf8(TestFolder::read(dataPath("sync/") + fixture + "main.pdfsync"));
}

} // namespace

// The sync files pdflatex wrote for the documents of tests/data/sync (its top folder
// and each sub-folder with an expected.tsv), with the pages read out of them once and
// written down beside them: file, line, page (0 for a line without a record). In the
// top folder a root over three pages, a chapter in a subfolder, an \include and an
// \input nested in it; in long-chapter a chapter longer than the root text before it;
// in similar-names intro.tex read after introduction.tex; in same-names one.tex and
// ch/one.tex, the top-level one read first.
void TestPdfSync::pagesOfTheFixtureLines_data()
{
    QTest::addColumn<QString>("fixture");
    QDirIterator tables(dataPath("sync"), {"expected.tsv"}, QDir::Files,
                        QDirIterator::Subdirectories);
    while (tables.hasNext()) {
        const QString fixture =
            QDir(dataPath("sync")).relativeFilePath(tables.nextFileInfo().path());
        QTest::newRow(qPrintable(fixture)) << (fixture == "." ? QString() : fixture + u'/');
    }
}

void TestPdfSync::pagesOfTheFixtureLines()
{
    QFETCH(QString, fixture);
    const QString sync = fixtureSync(fixture);
    const QStringList expected = TestFolder::lines(dataPath("sync/") + fixture + "expected.tsv");
    QVERIFY(expected.size() >= 9);
    for (const QString &row : expected) {
        const QStringList fields = row.split(u'\t');
        // The root, or an included file with its path from the root's folder.
        const PdfSync::ShownFile shown =
            fields.at(0) == "main.tex"
                ? PdfSync::ShownFile{}
                : PdfSync::ShownFile{false, fields.at(0).section(u'/', -1), {fields.at(0)}};
        const int page = PdfSync::pageForLine(sync, shown, fields.at(1).toInt()).value_or(0);
        QVERIFY2(page == fields.at(2).toInt(), qPrintable(row + " gave " + QString::number(page)));
    }
}

void TestPdfSync::textToPdfCases_data()
{
    QTest::addColumn<QString>("sync");
    QTest::addColumn<QString>("name"); // empty: the root file
    QTest::addColumn<QStringList>("includePaths");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("page"); // 0: no jump
    const auto row = [](const char *name, const char *sync, const char *file,
                        const QStringList &includePaths, int line, int page) {
        QTest::newRow(name) << sync << file << includePaths << line << page;
    };

    row("root record", "l 7 12\ns 3\np 7 100 200\n", "", {}, 12, 3);
    row("line number matched whole", "l 9 15\nl 3 1\ns 2\np 9 1 1\ns 4\np 3 1 1\n", "", {}, 1, 4);
    row("root record after a nested block has closed",
        "(one\n(two\n)\nl 1 5\n)\nl 2 5\ns 1\np 1 1 1\ns 2\np 2 1 1\n", "", {}, 5, 2);
    row("root record after an unclosed (", "(chapter1\nl 4 8\ns 1\np 4 1 1\n", "", {}, 8, 0);
    row("block with the name and .tex",
        "l 1 3\n(chapter1.tex\nl 5 3\n)\ns 1\np 1 1 1\ns 2\np 5 1 1\n", "chapter1.tex", {}, 3, 2);
    row("block with the bare name", "(chapter1\nl 5 3\n)\ns 2\np 5 1 1\n", "chapter1.tex", {}, 3,
        2);
    row("block opening with ./ is found by neither lookup",
        "(./chapter1.tex\nl 5 3\n)\ns 2\np 5 1 1\n", "chapter1.tex", {"chapter1.tex"}, 3, 0);
    row("subfolder through the include path", "(ch/one\nl 5 3\n)\ns 2\np 5 1 1\n", "one.tex",
        {"ch/one.tex"}, 3, 2);
    row("subfolder path with .tex", "(ch/one.tex\nl 5 3\n)\ns 2\np 5 1 1\n", "one.tex",
        {"ch/one.tex"}, 3, 2);
    row("nested block cut out", "(intro\n(nested\nl 1 5\n)\nl 2 5\n)\ns 1\np 1 1 1\ns 2\np 2 1 1\n",
        "intro.tex", {}, 5, 2);
    row("page of the first position record", "l 8 3\ns 1\np 8 1 1\ns 2\np 8 1 1\n", "", {}, 3, 1);
    row("first record placed nowhere, the next one on a page",
        "l 0 4\nl 1 4\nl 2 4\ns 1\np 2 1 1\ns 2\np 1 1 1\n", "", {}, 4, 2);
    row("root record placed nowhere, then the chapter's, then the root's",
        "l 0 4\n(ch\nl 1 4\n)\nl 2 4\ns 1\np 1 1 1\ns 2\np 2 1 1\n", "", {}, 4, 2);
    row("included file's record placed nowhere, then a nested one's, then its own",
        "(ch\nl 0 4\n(nested\nl 1 4\n)\nl 2 4\n)\ns 1\np 1 1 1\ns 3\np 2 1 1\n", "ch.tex", {}, 4,
        3);
    row("no position record", "l 8 3\ns 1\n", "", {}, 3, 0);
    row("no page before the record", "l 8 3\np 8 1 1\n", "", {}, 3, 0);
    row("name with characters of pattern syntax",
        "(a+b\nl 4 3\n)\n(a(b\nl 5 3\n)\ns 1\np 4 1 1\ns 2\np 5 1 1\n", "a(b.tex", {}, 3, 2);
}

void TestPdfSync::textToPdfCases()
{
    QFETCH(QString, sync);
    QFETCH(QString, name);
    QFETCH(QStringList, includePaths);
    QFETCH(int, line);
    QFETCH(int, page);
    const PdfSync::ShownFile shown{name.isEmpty(), name, includePaths};
    QCOMPARE(PdfSync::pageForLine(sync, shown, line).value_or(0), page);
}

// A click at a record's position names that record's file and line.
void TestPdfSync::pdfToTextFindsTheNearestRecord()
{
    const QString sync = fixtureSync();
    const double perPoint = 65536.0 * 72.27 / 72.0;
    struct Case
    {
        int page;
        double x, y; // scaled points, as the sync data gives them
        QString file;
        int line;
    };
    const Case cases[] = {
        {1, 8799518, 45080517, QString(), 5},                  // p 3: root line 5
        {2, 8799518 + 3e6, 42036283 - 2e5, "chapters/one", 2}, // beside p 21
        {4, 8799518, 44294085, "nested", 1},                   // p 52
        {4, 8799518, 45080517, "appendix.tex", 2},             // p 51
        {5, 8799518, 45729504, "appendix.tex", 6},             // p 64
    };
    for (const Case &c : cases) {
        const std::optional<PdfSync::SourceLine> source =
            PdfSync::sourceForPoint(sync, c.page, c.x / perPoint, c.y / perPoint);
        QVERIFY(source);
        QCOMPARE(source->file, c.file);
        QCOMPARE(source->line, c.line);
    }
    QVERIFY(!PdfSync::sourceForPoint(sync, 9, 100, 100));
}

void TestPdfSync::lineNumbers()
{
    const QString text = QStringLiteral("a\nb\r\nc\rd\u2028e\u2029f\u0085g");
    const int expected[] = {1, 1, 2, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7};
    for (qsizetype i = 0; i <= text.size(); ++i)
        QCOMPARE(PdfSync::lineNumberAt(text, i), expected[i]);
    QCOMPARE(PdfSync::lineNumberAt(QString(), 0), 1);
}

QTEST_GUILESS_MAIN(TestPdfSync)
#include "tst_pdfsync.moc"
