// Rename (F2) through a real window on a document of three files: the places
// shown before anything changes, those in comments left out, one Undo and one
// Redo across the files, the names refused, and text that changed while the
// places were shown.
#include "AppFixture.h"
#include "app/RenameDialog.h"
#include "model/QSUndoManager.h"
#include "model/TextStorageDelegate.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>

class TestRename : public QObject
{
    Q_OBJECT

private slots:
    void renamesEveryPlaceAsOneStep();
    void refusals();
};

namespace {

const std::initializer_list<std::pair<QString, QByteArray>> document = {
    {"main.tex", "\\documentclass{article}\n\\newcommand{\\vect}[1]{#1}\n"
                 "\\begin{document}\n\\input{a}\n\\input{sub/b}\n\\end{document}\n"},
    {"a.tex", "\\section{A}\\label{fig:a}\nSee \\ref{fig:ab} and \\cref{fig:b, fig:a}.\n"
              "% old: \\ref{fig:a}\n$\\vect{x}$\n"},
    {"sub/b.tex", "\\label{fig:ab}\nAs \\ref{fig:a} shows, \\cite{fig:a}.\n"}};

void putCaret(MyDocument *window, const QString &file, const QString &before)
{
    window->selectRange({0, 0}, AppFixture::fileNamed(window, file));
    QTextCursor caret = window->textView()->document()->find(before);
    caret.setPosition(caret.selectionEnd());
    window->textView()->setTextCursor(caret);
}

RenameDialog *openRename(MyDocument *window)
{
    MainMenuController::sharedMainMenuController()->renameItem()->trigger();
    return AppFixture::shownDialog<RenameDialog>(window->window());
}

QPushButton *renameButton(RenameDialog *dialog)
{
    for (QAbstractButton *button : dialog->findChild<QDialogButtonBox *>()->buttons())
        if (button->text() == "Rename")
            return qobject_cast<QPushButton *>(button);
    return nullptr;
}

QString text(MyDocument *window, const QString &name)
{
    AppFixture::settle();
    return AppFixture::fileNamed(window, name)->content();
}

} // namespace

void TestRename::renamesEveryPlaceAsOneStep()
{
    AppFixture fixture;
    fixture.folder.write(document);
    MyDocument *window = fixture.open(fixture.folder.path("main.tex"));
    QVERIFY(window);
    QCOMPARE(MainMenuController::sharedMainMenuController()->renameItem()->shortcut(),
             QKeySequence(Qt::Key_F2));
    const QString aBefore = text(window, "a.tex");
    const QString bBefore = text(window, "b.tex");

    putCaret(window, "b.tex", "\\ref{fig:");
    RenameDialog *dialog = openRename(window);
    QVERIFY(dialog);
    // The places by file; the one in a comment listed and left out.
    auto *list = dialog->findChild<QTreeWidget *>();
    QCOMPARE(list->topLevelItemCount(), 2);
    QCOMPARE(list->topLevelItem(0)->text(0), "a.tex");
    QCOMPARE(list->topLevelItem(0)->childCount(), 3);
    QCOMPARE(list->topLevelItem(0)->child(2)->checkState(0), Qt::Unchecked);
    QCOMPARE(list->topLevelItem(1)->child(0)->text(0), "2: As \\ref{fig:a} shows, \\cite{fig:a}.");
    // Leaving out the \cref's place too.
    list->topLevelItem(0)->child(1)->setCheckState(0, Qt::Unchecked);
    dialog->findChild<QLineEdit *>()->setText("fig:zebra");
    QVERIFY(renameButton(dialog)->isEnabled());
    renameButton(dialog)->click();

    QCOMPARE(text(window, "a.tex"), "\\section{A}\\label{fig:zebra}\nSee \\ref{fig:ab} and "
                                    "\\cref{fig:b, fig:a}.\n% old: \\ref{fig:a}\n$\\vect{x}$\n");
    QCOMPARE(text(window, "b.tex"), "\\label{fig:ab}\nAs \\ref{fig:zebra} shows, \\cite{fig:a}.\n");

    // One Undo takes it back in both files, one Redo puts it in again.
    window->undo();
    QCOMPARE(text(window, "a.tex"), aBefore);
    QCOMPARE(text(window, "b.tex"), bBefore);
    window->redo();
    QVERIFY(text(window, "a.tex").contains("\\label{fig:zebra}"));
    QVERIFY(text(window, "b.tex").contains("\\ref{fig:zebra}"));

    // A command the document defines, renamed where it is used.
    putCaret(window, "a.tex", "$\\ve");
    dialog = openRename(window);
    QVERIFY(dialog);
    dialog->findChild<QLineEdit *>()->setText("bold");
    renameButton(dialog)->click();
    QVERIFY(text(window, "main.tex").contains("\\newcommand{\\bold}[1]"));
    QVERIFY(text(window, "a.tex").contains("$\\bold{x}$"));
}

void TestRename::refusals()
{
    AppFixture fixture;
    fixture.folder.write(document);
    MyDocument *window = fixture.open(fixture.folder.path("main.tex"));
    QVERIFY(window);

    // Names that are taken, or that TeX would not read back, are refused.
    putCaret(window, "a.tex", "\\label{fig:");
    RenameDialog *dialog = openRename(window);
    QVERIFY(dialog);
    auto *field = dialog->findChild<QLineEdit *>();
    auto *reason = dialog->findChild<QLabel *>("renameRefusal");
    const QList<std::pair<QString, QString>> refused = {
        {"fig:ab", "The label fig:ab is already used in a.tex."},
        {"fig:a", "That is the name it has."},
        {"a,b", "A label cannot hold braces"},
        {"", "Type the new name."}};
    for (const auto &[name, why] : refused) {
        field->setText(name);
        QVERIFY2(reason->text().startsWith(why), qPrintable(reason->text()));
        QVERIFY(!renameButton(dialog)->isEnabled());
    }

    // The text changes while the places are shown: nothing is renamed.
    field->setText("fig:new");
    putCaret(window, "b.tex", "shows, ");
    AppFixture::type(window->textView(), "\\ref{fig:a} ");
    AppFixture::settle();
    const QString aBefore = text(window, "a.tex");
    const QString bBefore = text(window, "b.tex");
    renameButton(dialog)->click();
    QTRY_VERIFY(AppFixture::shownDialog<QMessageBox>(window->window()));
    QCOMPARE(AppFixture::shownDialog<QMessageBox>(window->window())->objectName(), "renameRefused");
    QCOMPARE(text(window, "a.tex"), aBefore);
    QCOMPARE(text(window, "b.tex"), bBefore);
    AppFixture::shownDialog<QMessageBox>(window->window())->accept();

    // A key whose entry is in a .bib file is not renamed: the entry would keep it.
    putCaret(window, "b.tex", "\\cite{fig:");
    QVERIFY(!openRename(window));
    QVERIFY(window->window()->findChild<QStatusBar *>()->currentMessage().contains(
        "bibliography database"));

    // A command the document does not define is not renamed.
    putCaret(window, "main.tex", "\\documentcl");
    QVERIFY(!openRename(window));
    QVERIFY(window->window()->findChild<QStatusBar *>()->currentMessage().contains(
        "is not defined in this document"));
}

QUILLSET_TEST_MAIN(TestRename)
#include "tst_rename.moc"
