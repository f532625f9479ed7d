// Word counts: which words of LaTeX source a reader counts, the same count whether
// the text is read whole or node by node as the tree cuts it, and counts that follow
// edits made through the edit worker, on the counting thread.
#include "TestSupport.h"
#include "editor/wordcount/WordCounter.h"
#include "editor/wordcount/WordCounts.h"
#include "model/ChangesQueue.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/QSSectionNode.h"

#include <QSignalSpy>
#include <QTest>

class TestWordCounter : public QObject
{
    Q_OBJECT

private slots:
    void countsTheRunningText_data();
    void countsTheRunningText();
    void countsTheSameInPieces_data();
    void countsTheSameInPieces();
    void countsFollowEditsOnTheirThread();
};

void TestWordCounter::countsTheRunningText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("words");
    QTest::newRow("prose") << "The pools were sampled at low tide." << 7;
    QTest::newRow("command arguments that are text")
        << "\\textbf{bold words} and \\emph{more} \\textit{of\\ them}" << 6;
    QTest::newRow("command names") << "\\noindent\\centering \\newpage Text" << 1;
    QTest::newRow("inline math") << "a $x + y = z$ b \\(f(x)\\) c" << 3;
    QTest::newRow("display math")
        << "\\begin{equation}\n  E = mc^2 \\text{ where }\n\\end{equation}\nafter \\[ x \\] it"
        << 2;
    QTest::newRow("math over lines") << "a $x\n= y$ b\n$$\nz\n$$ c" << 3;
    QTest::newRow("comments") << "word % not these words\n% nor these\nnext" << 2;
    QTest::newRow("escaped percent") << "about 40\\% more" << 3;
    QTest::newRow("labels and references")
        << "See \\ref{fig:a} and \\eqref{eq:b}.\\label{sec:intro}" << 2;
    QTest::newRow("citations") << "as shown \\cite[p.~4]{knuth84,lamport94} here" << 3;
    QTest::newRow("section titles") << "\\section{Tide Pools}\\label{sec:x}\nText." << 3;
    QTest::newRow("starred title with a short form") << "\\section*[Short]{Long Title}" << 3;
    QTest::newRow("captions") << "\\caption{A tide pool at dawn}" << 5;
    QTest::newRow("footnotes") << "word\\footnote{two more}." << 3;
    QTest::newRow("verbatim")
        << "\\begin{verbatim}\nnot these words\n\\end{verbatim}\nyes \\verb|nor these| no" << 2;
    QTest::newRow("tables")
        << "\\begin{tabular}{lr}\nPool & Depth \\\\\n\\hline\nA & 0.4 \\\\\n\\end{tabular}" << 4;
    QTest::newRow("environment names and options")
        << "\\begin{figure}[htbp]\n\\includegraphics[width=3cm]{pool.png}\n\\end{figure}" << 0;
    QTest::newRow("numbers and abbreviations") << "in 2023, e.g. the U.S. spent 3.14 units" << 8;
    QTest::newRow("hyphens join, slashes and dashes part")
        << "a well-known and/or pages 10--20" << 7;
    QTest::newRow("urls") << "see \\url{https://ctan.org/pkg} now" << 2;
    QTest::newRow("preamble")
        << "\\documentclass{article}\n\\title{Not Counted}\n\\newcommand{\\x}{Nor}\n"
           "\\begin{document}\nBody text\n\\end{document}"
        << 2;
    QTest::newRow("a selection's paragraph separators")
        << QStringLiteral("one\u2029% two\u2029three") << 2;
}

void TestWordCounter::countsTheRunningText()
{
    QFETCH(QString, text);
    QFETCH(int, words);
    QCOMPARE(WordCounter::count(text), words);
}

// The tree cuts lines where commands stand: the pieces, counted one after the other
// with the state handed on, count what the whole does.
void TestWordCounter::countsTheSameInPieces_data()
{
    QTest::addColumn<QStringList>("pieces");
    QTest::newRow("a heading within a line") << QStringList{"A ", "\\section{B c}", " d\n"};
    QTest::newRow("a heading after a blank line")
        << QStringList{"para\n\n", "\\section{B}", "\n\nText $x\n", "\\subsection{y$ z}", "\n"};
    QTest::newRow("math open over a heading")
        << QStringList{"a \\[ x\n", "\\section{y}", " \\] b\n"};
    QTest::newRow("the preamble's end in a later piece")
        << QStringList{"\\documentclass{book}\n\\title{T}\n", "\\chapter{One}",
                       "\n\\begin{document}\nText here\n"};
}

void TestWordCounter::countsTheSameInPieces()
{
    QFETCH(QStringList, pieces);
    WordCounter::State state;
    int words = 0;
    for (const QString &piece : std::as_const(pieces))
        words += WordCounter::count(piece, state);
    QCOMPARE(words, WordCounter::count(pieces.join(QString())));
}

namespace {

// Waits for the counts of the passes under way.
void settle(WordCounts &counts)
{
    ChangesQueue::sharedQueue()->waitUntilIdle();
    QCoreApplication::processEvents();
    counts.waitUntilIdle();
    QTest::qWait(0);
    QCoreApplication::processEvents();
}

std::shared_ptr<QSSectionNode> sectionNamed(const std::shared_ptr<QSFile> &file,
                                            const QString &name)
{
    std::lock_guard lock(QSFilePool::documentModelLock());
    QList<std::shared_ptr<QSSectionNode>> work{file->treeRootNode()};
    while (!work.isEmpty()) {
        const std::shared_ptr<QSSectionNode> node = work.takeFirst();
        if (node->nodeName() == name)
            return node;
        if (!node->isFileIncludeNode())
            work.append(node->children());
    }
    return nullptr;
}

} // namespace

// A root with a chapter file, counted on the counting thread; words typed into one
// section reach the document's, the file's and that section's counts, and no other
// section's; a selection's words are counted from the tree.
void TestWordCounter::countsFollowEditsOnTheirThread()
{
    TestFolder folder;
    folder.write({{"root.tex", "\\documentclass{book}\n\\title{Not text}\n\\begin{document}\n"
                               "\\chapter{Start}\nOne two three.\n\\input{chapter}\n"
                               "\\end{document}\n"},
                  {"chapter.tex", "\\section{Alpha}\nFour five $x$.\n"
                                  "\\section{Beta Gamma}\nSix seven eight.\n"}});
    ChangesQueue queue;
    QSFilePool pool;
    const std::shared_ptr<QSFile> root = pool.readFile(folder.url("root.tex"));
    const std::shared_ptr<QSFile> chapter = pool.fileObjectForPath(folder.url("chapter.tex"));
    QVERIFY(root && chapter);
    WordCounts counts([root] { return root; });
    connect(&queue, &ChangesQueue::treeDidChange, &counts, &WordCounts::fileChanged);
    QSignalSpy changed(&counts, &WordCounts::countsChanged);
    settle(counts);
    QVERIFY(!changed.isEmpty());

    const WordCountResults &results = counts.results();
    const auto section = [&](const QString &name) {
        return results.sections.value(sectionNamed(chapter, name).get(), -1);
    };
    QCOMPARE(results.document, 12);
    QCOMPARE(results.files.value(root.get()), 4);
    QCOMPARE(results.files.value(chapter.get()), 8);
    QCOMPARE(section("Alpha"), 3);
    QCOMPARE(section("Beta Gamma"), 5);
    QCOMPARE(results.sections.value(sectionNamed(root, "Start").get()), 12);

    // Typed word by word, as the text view records keystrokes.
    const qint32 at = qint32(chapter->content().indexOf(u"five") + 4);
    qint32 offset = at;
    for (const QChar typed : QStringLiteral(" six seven")) {
        queue.addChangeToQueue(
            {QStringLiteral("add"), {quint32(offset), 1}, QString(typed), chapter->treeRootNode()});
        ++offset;
    }
    settle(counts);
    QCOMPARE(results.document, 14);
    QCOMPARE(results.files.value(chapter.get()), 10);
    QCOMPARE(section("Alpha"), 5);
    QCOMPARE(section("Beta Gamma"), 5);
    QCOMPARE(results.sections.value(sectionNamed(root, "Start").get()), 14);

    // Opening math hides the words after it in the node, and in the nodes after.
    queue.addChangeToQueue(
        {QStringLiteral("add"), {quint32(at), 2}, QStringLiteral(" $"), chapter->treeRootNode()});
    settle(counts);
    QCOMPARE(results.files.value(chapter.get()), 4); // Alpha, Four, five, x

    counts.setSelection(root, {quint32(root->content().indexOf(u"two")), 9});
    settle(counts);
    QCOMPARE(results.selection, 2);
    counts.setSelection(root, {0, 0});
    settle(counts);
    QCOMPARE(results.selection, -1);
}

QTEST_GUILESS_MAIN(TestWordCounter)
#include "tst_wordcounter.moc"
