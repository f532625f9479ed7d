#include "TestSupport.h"
#include "find/FindAndReplace.h"
#include "find/FindAndReplaceSearchResult.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/QSSectionNode.h"

using Files = QList<std::pair<QString, QByteArray>>;

class TestFindAndReplace : public QObject
{
    Q_OBJECT

private slots:
    void findsNodesOfTheWholeDocument_data();
    void findsNodesOfTheWholeDocument();
};

void TestFindAndReplace::findsNodesOfTheWholeDocument_data()
{
    QTest::addColumn<Files>("files"); // the first is the root
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("found"); // type:name of each node found, in order
    const auto row = [](const char *name, const Files &files, const char *key,
                        const QStringList &found) { QTest::newRow(name) << files << key << found; };

    const Files plain{{"main.tex", "\\section{Tides}\nThe TIDE comes in.\n"}};
    row("empty key", plain, "", {});
    row("lower case finds capitals", plain, "tide", {"section:Tides"});
    row("capitals find lower case", plain, "COMES", {"section:Tides"});
    row("no match across two nodes", Files{{"main.tex", "intro\\section{x} more\n"}}, "o\\sec", {});
    row("a section through its own text and two text children, once",
        Files{{"main.tex", "\\section{Key}\nkey one\n\\input{b}\nkey two\n"}, {"b.tex", "b\n"}},
        "key", {"section:Key"});
    row("text under the file node credits the file",
        Files{{"main.tex", "a key at the top\n\\section{S}\nnothing\n"}}, "KEY", {"File:main.tex"});
    row("include command found as its node", Files{{"main.tex", "\\input{b}\n"}, {"b.tex", "b\n"}},
        "input{b", {"input:b.tex"});
    row("a file included twice is searched once, in its first place",
        Files{{"main.tex", "\\input{a}\n\\section{M}\nkey\n\\input{b}\n\\input{a}\n"},
              {"a.tex", "key in a\n"},
              {"b.tex", "\\input{a}\nkey in b\n"}},
        "key", {"section:M", "File:a.tex", "File:b.tex"});
}

// Each result also records where the key stands in its file.
void TestFindAndReplace::findsNodesOfTheWholeDocument()
{
    QFETCH(Files, files);
    QFETCH(QString, key);
    QFETCH(QStringList, found);
    TestFolder folder;
    for (const auto &[name, text] : files)
        folder.write(name, text);
    QSFilePool pool;
    const std::shared_ptr<QSFile> root = pool.readFile(folder.url(files.first().first));
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

QTEST_GUILESS_MAIN(TestFindAndReplace)
#include "tst_findandreplace.moc"
