#include "TestSupport.h"
#include "pdf/PdfSync.h"

#include <QDir>

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

// The page a line turns the PDF to, 0 for none.
int pageFor(const QString &sync, const PdfSync::ShownFile &shown, int line)
{
    const std::optional<PdfSync::PagePosition> position =
        PdfSync::positionForLine(sync, shown, line);
    return position ? position->page : 0;
}

} // namespace

// The sync files pdflatex wrote for the documents of tests/data/sync: its top folder
// and each sub-folder with an expected.tsv, which has the pages read out of the sync
// file once and says what is special about the document.
void TestPdfSync::pagesOfTheFixtureLines_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::newRow(".") << QString();
    const QDir sync(dataPath("sync"));
    for (const QString &folder : sync.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (sync.exists(folder + "/expected.tsv"))
            QTest::newRow(qPrintable(folder)) << folder + u'/';
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
        const int page = pageFor(sync, shown, fields.at(1).toInt());
        QVERIFY2(page == fields.at(2).toInt(), qPrintable(row + " gave " + QString::number(page)));
        // A file beside the root is written as \input names it, so its name alone
        // finds its block when no include path is known; in similar-names the
        // block of introduction.tex comes first and must not be taken for intro.tex's.
        if (!shown.isRoot && !fields.at(0).contains(u'/')) {
            const int byName =
                pageFor(sync, PdfSync::ShownFile{false, fields.at(0), {}}, fields.at(1).toInt());
            QVERIFY2(byName == page,
                     qPrintable(row + " gave " + QString::number(byName) + " by name alone"));
        }
    }
}

void TestPdfSync::textToPdfCases_data()
{
    goldenRows("sync/hand-written.txt");
}

void TestPdfSync::textToPdfCases()
{
    QFETCH(GoldenCase, golden);
    const QStringList asked = golden.part("line").split(u' ');
    const PdfSync::ShownFile shown{asked[0] == "root", asked[0] == "root" ? QString() : asked[0],
                                   asked.size() > 2 ? asked[1].split(u',') : QStringList()};
    QCOMPARE(pageFor(golden.part("sync"), shown, asked.last().toInt()),
             golden.part("page").toInt());
    if (const QStringList point = golden.part("point").split(u' '); point.size() == 2) {
        const auto position =
            PdfSync::positionForLine(golden.part("sync"), shown, asked.last().toInt());
        QCOMPARE(position->x, point[0].toDouble());
        QCOMPARE(position->y, point[1].toDouble());
    }
}

// A click at a record's position names that record's file and line (sync/clicks.tsv).
void TestPdfSync::pdfToTextFindsTheNearestRecord()
{
    const QString sync = fixtureSync();
    const double perPoint = 65536.0 * 72.27 / 72.0;
    for (const QString &row : TestFolder::lines(dataPath("sync/clicks.tsv"))) {
        const QStringList fields = row.split(u'\t');
        const std::optional<PdfSync::SourceLine> source =
            PdfSync::sourceForPoint(sync, fields[0].toInt(), fields[1].toDouble() / perPoint,
                                    fields[2].toDouble() / perPoint);
        const QString file = !source ? "none" : source->file.isEmpty() ? "root" : source->file;
        QCOMPARE(file + u'\t' + QString::number(source ? source->line : 0),
                 fields.mid(3).join(u'\t'));
    }
}

void TestPdfSync::lineNumbers()
{
    const QString text = QStringLiteral("a\nb\r\nc\rd\u2028e\u2029f\u0085g");
    const int expected[] = {1, 1, 2, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7};
    for (qsizetype i = 0; i <= text.size(); ++i)
        QCOMPARE(PdfSync::lineNumberAt(text, i), expected[i]);
    QCOMPARE(PdfSync::lineNumberAt(QString(), 0), 1);
}

QUILLSET_TEST_GUILESS_MAIN(TestPdfSync)
#include "tst_pdfsync.moc"
