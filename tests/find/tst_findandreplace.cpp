#include "TestSupport.h"
#include "find/FindAndReplace.h"
#include "find/FindAndReplaceSearchResult.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/QSSectionNode.h"
#include "model/SearchPattern.h"

class TestFindAndReplace : public QObject
{
    Q_OBJECT

private slots:
    void findsNodesOfTheWholeDocument_data();
    void findsNodesOfTheWholeDocument();
    void patternsFindAndReplace_data();
    void patternsFindAndReplace();
};

void TestFindAndReplace::findsNodesOfTheWholeDocument_data()
{
    goldenRows("find/whole-document.txt");
}

// The searches of tests/data/find/whole-document.txt. Each result also records where
// the key stands in its file.
void TestFindAndReplace::findsNodesOfTheWholeDocument()
{
    QFETCH(GoldenCase, golden);
    const QString key = golden.part("key");
    const QStringList found = golden.part("found").split(u'\n', Qt::SkipEmptyParts);
    TestFolder folder;
    for (qsizetype i = 0; i < golden.labels.size() - 2; ++i)
        folder.write(golden.labels[i], golden.parts[i].toUtf8());
    QSFilePool pool;
    const std::shared_ptr<QSFile> root = pool.readFile(folder.url(golden.labels.first()));
    QVERIFY(root);

    FindAndReplace engine(root);
    engine.findString(QStringLiteral("\\section"));
    engine.findString(key);
    QCOMPARE(engine.searchKey(), key);
    QStringList names;
    for (const std::shared_ptr<QSSectionNode> &node : engine.findResults())
        names << node->nodeType() + u':' + node->nodeName();
    QCOMPARE(names, found);
    QCOMPARE(engine.searchKeyWasFoundInFile(), !found.isEmpty());
    for (const auto &result : engine.searchResults()) {
        QVERIFY(!result->foundRanges.isEmpty());
        const QString &content = result->nodeWithResult->nodeFile()->content();
        for (const QSRange range : result->foundRanges)
            QCOMPARE(content.mid(range.location, range.length).toLower(), key.toLower());
    }
}

void TestFindAndReplace::patternsFindAndReplace_data()
{
    tableRows("find/patterns.tsv");
}

// The rows of tests/data/find/patterns.tsv. Searching backwards from the end, and
// from the last match, finds the last two matches again.
void TestFindAndReplace::patternsFindAndReplace()
{
    QFETCH(QStringList, fields);
    const QString text = fields[0], key = fields[1], replacement = fields[4];
    SearchPattern::Options options;
    options.setFlag(SearchPattern::MatchCase, fields[2].contains(u'c'));
    options.setFlag(SearchPattern::WholeWords, fields[2].contains(u'w'));
    options.setFlag(SearchPattern::RegularExpression, fields[2].contains(u'r'));
    const SearchPattern pattern(key, options);
    QCOMPARE(pattern.isValid(), fields[3] != "invalid");
    QCOMPARE(pattern.errorString().isEmpty(), pattern.isValid());

    const QList<QSRange> matches = pattern.findAll(text);
    QStringList found;
    for (const QSRange match : matches)
        found << QStringLiteral("%1+%2").arg(match.location).arg(match.length);
    QCOMPARE(found.join(u' '), fields[3] == "-" || !pattern.isValid() ? QString() : fields[3]);

    const QSRange notFound{QSNotFound, 0};
    QCOMPARE(pattern.findBackwards(text, text.size()), matches.value(matches.size() - 1, notFound));
    if (!matches.isEmpty())
        QCOMPARE(pattern.findBackwards(text, matches.last().location),
                 matches.value(matches.size() - 2, notFound));

    QString replaced = text;
    for (qsizetype i = matches.size() - 1; i >= 0; --i)
        replaced.replace(matches[i].location, matches[i].length,
                         pattern.replacementFor(text, matches[i], replacement));
    QCOMPARE(replaced, fields[5]);
}

QUILLSET_TEST_GUILESS_MAIN(TestFindAndReplace)
#include "tst_findandreplace.moc"
