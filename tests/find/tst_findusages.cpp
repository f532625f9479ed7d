// Find Usages (Shift+F12) in a real window: the places of the name at the caret,
// in every file of the document, listed in the outline by file, a list that
// follows the edits; nothing is listed where the caret is on no name.
#include "app/AppFixture.h"
#include "find/FindAndReplaceOutlineViewDataSource.h"
#include "find/FindAndReplaceViewController.h"
#include "model/TextStorageDelegate.h"

#include <QLineEdit>
#include <QStatusBar>
#include <QTreeView>

class TestFindUsages : public QObject
{
    Q_OBJECT

private slots:
    void listsThePlacesOfTheNameAtTheCaret();
};

namespace {

// Each file with the lines of its places: "a.tex:2,3,4".
QStringList listing(const FindAndReplaceViewController *strip)
{
    QStringList files;
    for (const DocumentMatches::File &file : strip->dataSourceForOutlineView()->matches().files()) {
        QStringList lines;
        for (const DocumentMatches::Match &match : file.matches)
            lines << QString::number(match.line);
        files << file.name + u':' + lines.join(u',');
    }
    return files;
}

void putCaret(MyDocument *document, const QString &file, const QString &before)
{
    document->selectRange({0, 0}, AppFixture::fileNamed(document, file));
    QTextCursor caret = document->textView()->document()->find(before);
    caret.setPosition(caret.selectionEnd());
    document->textView()->setTextCursor(caret);
}

} // namespace

void TestFindUsages::listsThePlacesOfTheNameAtTheCaret()
{
    AppFixture fixture;
    fixture.folder.write({{"main.tex", "\\documentclass{article}\n\\newcommand{\\vect}[1]{#1}\n"
                                       "\\begin{document}\n\\input{a}\n\\input{sub/b}\n"
                                       "\\end{document}\n"},
                          {"a.tex", "\\section{A}\\label{fig:a}\n"
                                    "See \\ref{fig:ab} and \\cref{fig:b, fig:a}.\n"
                                    "% old: \\ref{fig:a}\n$\\vect{x} \\vector$\n"},
                          {"sub/b.tex", "\\label{fig:ab}\nAs \\ref{fig:a} shows, \\cite{fig:a}.\n"
                                        "\\begin{verbatim}\n\\ref{fig:a}\n\\end{verbatim}\n"
                                        "$\\vect{y}$\n"}});
    MyDocument *document = fixture.open(fixture.folder.path("main.tex"));
    QVERIFY(document);
    FindAndReplaceViewController *strip = document->findAndReplaceViewController();
    QAction *findUsages = MainMenuController::sharedMainMenuController()->findUsagesItem();
    QCOMPARE(findUsages->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F12));

    // On a label: the label, each whole reference to it (one in a comment), never
    // fig:ab, the citation of the same letters or the verbatim text.
    putCaret(document, "a.tex", "\\label{fig:");
    findUsages->trigger();
    QTRY_VERIFY(strip->isShown());
    QCOMPARE(document->outlineView()->model(), strip->dataSourceForOutlineView());
    QCOMPARE(listing(strip), QStringList({"a.tex:1,2,3", "sub/b.tex:2"}));
    QCOMPARE(strip->findTextField()->text(), "fig:a");

    // The list follows an edit in a file that is not shown.
    putCaret(document, "b.tex", "shows, ");
    AppFixture::type(document->textView(), "\\eqref{fig:a} ");
    AppFixture::settle();
    QTRY_COMPARE(listing(strip), QStringList({"a.tex:1,2,3", "sub/b.tex:2,2"}));

    // Every outline row comes back by an Undo while the list is shown: the rows
    // are the outline's, not the list's, and the list is as it was.
    putCaret(document, "main.tex", "\\input{sub/b}\n");
    QTextCursor all = document->textView()->textCursor();
    all.select(QTextCursor::Document);
    document->textView()->setTextCursor(all);
    AppFixture::type(document->textView(), "x");
    AppFixture::settle();
    document->undo();
    AppFixture::settle();
    QCOMPARE(document->outlineView()->model(), strip->dataSourceForOutlineView());
    QTRY_COMPARE(listing(strip), QStringList({"a.tex:1,2,3", "sub/b.tex:2,2"}));

    // On a command's name, at its definition: its uses in every file.
    putCaret(document, "main.tex", "\\newcommand{\\ve");
    findUsages->trigger();
    QTRY_COMPARE(listing(strip), QStringList({"main.tex:2", "a.tex:4", "sub/b.tex:6"}));

    // On plain text: the status bar says why nothing is listed.
    putCaret(document, "a.tex", "See");
    findUsages->trigger();
    QVERIFY(document->window()->findChild<QStatusBar *>()->currentMessage().contains(
        "The caret is on no label"));
}

QUILLSET_TEST_MAIN(TestFindUsages)
#include "tst_findusages.moc"
