#include "TestSupport.h"
#include "TreeHelpers.h"

#include <QRandomGenerator>

namespace {

// Every child names its holder as parent, no two text nodes stand side by side,
// and no section holds one that ranks as high as itself.
void checkConsistent(const Node &node)
{
    const QStringList ranks = QSSectionNode::sectionTypes();
    for (qsizetype i = 0; i < node->countOfChildren(); ++i) {
        const Node child = node->objectInChildrenAtIndex(i);
        QCOMPARE(child->parent(), node);
        if (i > 0 && child->isTextNode())
            QVERIFY(!node->objectInChildrenAtIndex(i - 1)->isTextNode());
        if (ranks.contains(node->nodeType()) && ranks.contains(child->nodeType()))
            QVERIFY(ranks.indexOf(child->nodeType()) < ranks.indexOf(node->nodeType()));
        if (!child->isFileIncludeNode())
            checkConsistent(child);
    }
}

// Offset 0 is answered by the first node, every other offset by the node that holds
// the character before it, at that node's own location; past the end, by none.
void checkLookups(const Node &root, const QString &text)
{
    QCOMPARE(root->nodeAtLocation(0, 0)->object, root->objectInChildrenAtIndex(0));
    QCOMPARE(root->nodeAtLocation(0, 0)->nodeLocationInFile, 0);
    for (qint32 at = 1; at <= text.size(); ++at) {
        const std::optional<QSLocationRecord> found = root->nodeAtLocation(at, 0);
        QVERIFY(found);
        const qint32 start = found->nodeLocationInFile;
        QCOMPARE(start, found->object->nodeLocation());
        QVERIFY(start < at && at <= start + found->object->nodeData().size());
        QCOMPARE(found->object->nodeData().at(at - start - 1), text.at(at - 1));
    }
    QVERIFY(!root->nodeAtLocation(qint32(text.size()) + 1, 0));
}

} // namespace

class TestRestructuring : public QObject
{
    Q_OBJECT

private slots:
    void nestsByRank_data();
    void nestsByRank();
    void textNodeGivesUpItsChildrenInOrder();
    void structuralOperations();
    void randomDocumentsKeepTheirText();
};

void TestRestructuring::nestsByRank_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("chapters and sections")
        << "pre\n\\chapter{C1}\nc1\n\\section{S1}\ns1\n\\subsection{SS1}\nss1\n\\section{S2}\ns2\n"
           "\\chapter{C2}\nend"
        << "pre,C1(c1,S1(s1,SS1(ss1)),S2(s2)),C2(end)";
    QTest::newRow("subsection before the first section")
        << "x\\subsection{A}a\n\\section{B}b\n\\subsubsection{C}c"
        << "x,A(a),B(b,C(c))";
    QTest::newRow("includes at top level and in a section")
        << "\\input{one}\nafter one\n\\section{S}s\n\\include{two}\nafter two"
        << "_,one,after one,S(s,two,after two)";
    QTest::newRow("same kind twice") << "\\section{A}a\n\\section{B}b"
                                     << "_,A(a),B(b)";
    QTest::newRow("no command") << "just text\n"
                                << "just text";
    QTest::newRow("part over everything")
        << "\\subsubsection{D}d\n\\part{P}p\n\\chapter{C}c\n\\subsubsection{E}e"
        << "_,D(d),P(p,C(c,E(e)))";
}

void TestRestructuring::nestsByRank()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const Node root = nestedTree(text);
    QCOMPARE(shape(root), expected);
    QCOMPARE(root->nodeDataWithChildren(), text);
    checkConsistent(root);
}

// A section that stopped being one (an edit turns it into a text node): its children,
// include nodes among them, stand after it in their order and text is joined.
void TestRestructuring::textNodeGivesUpItsChildrenInOrder()
{
    const QString text = "pre\n\\section{S}s\n\\subsection{T}t\n\\input{i}\nrest\n\\section{U}u";
    const Node root = nestedTree(text);
    QCOMPARE(shape(root), "pre,S(s,T(t,i,rest)),U(u)");
    for (int index : {1, 3}) {
        const Node node = root->objectInChildrenAtIndex(index);
        node->setNodeType(QSNodeType::Text);
        node->setNodeName(QStringLiteral("textnode"));
        node->correctPositionsInTree();
    }
    root->correctPositionsInTree();
    QCOMPARE(root->nodeDataWithChildren(), text);
    QCOMPARE(shape(root), "pre\\section{S}s\\subsection{T}t,i,rest,U(u)");
    checkConsistent(root);
}

// The moves that restructuring is made of, where the edits rarely reach.
void TestRestructuring::structuralOperations()
{
    const Node root = nestedTree("a\n\\section{S}s\n\\input{inc}\nb");
    const Node section = root->objectInChildrenAtIndex(1);
    const Node include = section->objectInChildrenAtIndex(1);
    root->addChild(root->objectInChildrenAtIndex(0)); // already a child: stays in place
    QCOMPARE(shape(root), "a,S(s,inc,b)");

    // The replaced node's children follow the new nodes; it keeps its own list.
    root->replaceChildNode(section, {textNode("x"), textNode("y")}, true);
    QCOMPARE(shape(root), "a,x,y,s,inc,b");
    QCOMPARE(include->parent(), root);
    QCOMPARE(section->countOfChildren(), 3);
    // An include node's child (another file's tree) is never carried over.
    include->setChildren({textNode("other file")});
    root->replaceChildNode(include, {textNode("w")}, true);
    QCOMPARE(shape(root), "a,x,y,s,w,b");
    QTest::ignoreMessage(QtInfoMsg, "replaceChildNode: not found");
    root->replaceChildNode(include, {}, true);

    // Removing with the children kept puts them in the removed node's place.
    const Node holder = textNode("h", root);
    root->insertObject(holder, 1);
    holder->setChildren({textNode("1", holder), textNode("2", holder)});
    root->removeChild(holder, true);
    root->removeChild(holder, true); // no longer a child: nothing
    QCOMPARE(shape(root), "a,1,2,x,y,s,w,b");
    // A child moved behind another is moved, not held twice.
    root->setRightSiblingForChild(root->objectInChildrenAtIndex(4),
                                  root->objectInChildrenAtIndex(1));
    QCOMPARE(shape(root), "a,2,x,y,1,s,w,b");
    // Neighbouring text nodes are joined by the left one; the right one goes.
    root->objectInChildrenAtIndex(0)->correctPosition();
    QCOMPARE(shape(root), "a2xy1swb");
    QCOMPARE(root->countOfChildren(), 1);
}

// For random documents, the flat parse and the restructured tree hold exactly the
// text and find every offset, the tree is consistent, and it is the same whether
// nested in one pass or rule by rule.
void TestRestructuring::randomDocumentsKeepTheirText()
{
    const QStringList pieces =
        QStringLiteral("\\part{P}\n|\\chapter{C}\n|\\section{S}\n|\\subsection*{SS}\n|"
                       "\\subsubsection{SSS}\n|\\input{i}\n|\\include{j}\n|prose |\n|"
                       "% \\section{c}\n|}{|\\section\n|\r\n|\\chapter{C} % note}|}|"
                       "\\section[s]{t}|\\\\|ß😀|\\subsubsection{|\\input{ch/one}|\\part{Ü}|"
                       "\\section{A}")
            .split(u'|');
    QRandomGenerator random(4242);
    for (int round = 0; round < 400; ++round) {
        QString text = QStringLiteral("");
        for (int i = random.bounded(0, 60); i > 0; --i)
            text += pieces.at(random.bounded(pieces.size()));
        const Node root = nestedTree(text);
        QCOMPARE(root->nodeDataWithChildren(), text);
        checkConsistent(root);
        checkLookups(root, text);
        // The flat parse holds text and commands in turn.
        const Node byRules = flatTree(text);
        QCOMPARE(byRules->nodeDataWithChildren(), text);
        QCOMPARE(byRules->countOfChildren() % 2, 1);
        checkLookups(byRules, text);
        byRules->correctPositionsInTree();
        QCOMPARE(shape(byRules), shape(root));
    }
}

QTEST_GUILESS_MAIN(TestRestructuring)
#include "tst_restructuring.moc"
