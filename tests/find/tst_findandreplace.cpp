#include "TestSupport.h"
#include "find/FindAndReplace.h"
#include "find/FindAndReplaceSearchResult.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/QSSectionNode.h"

class TestFindAndReplace : public QObject
{
    Q_OBJECT

private slots:
    void findsNodesOfTheWholeDocument_data();
    void findsNodesOfTheWholeDocument();
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

QUILLSET_TEST_GUILESS_MAIN(TestFindAndReplace)
#include "tst_findandreplace.moc"
