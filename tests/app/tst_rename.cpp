// Rename (F2) through a real window on a document of three files: the places
// shown before anything changes, those in comments left out, one Undo and one
// Redo across the files, the names refused, and text that changed while the
// places were shown; a citation key with its entry in the .bib on disk; a file
// moved on disk with its includes rewritten.
#include "AppFixture.h"
#include "app/FileRename.h"
#include "app/RenameDialog.h"
#include "model/QSUndoManager.h"
#include "model/TextStorageDelegate.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTreeView>
#include <QTreeWidget>

class TestRename : public QObject
{
    Q_OBJECT

private slots:
    void renamesEveryPlaceAsOneStep();
    void refusals();
    void keyWithItsDatabaseEntry();
    void fileMovedAcrossFolders();
    void includedNames();
};

namespace {

const std::initializer_list<std::pair<QString, QByteArray>> document = {
    {"main.tex", "\\documentclass{article}\n\\newcommand{\\vect}[1]{#1}\n"
                 "\\newenvironment{note}{}{}\n"
                 "\\begin{document}\n\\input{a}\n\\input{sub/b}\n\\end{document}\n"},
    {"a.tex", "\\section{A}\\label{fig:a}\nSee \\ref{fig:ab} and \\cref{fig:b, fig:a}.\n"
              "% old: \\ref{fig:a}\n$\\vect{x}$\n"},
    {"sub/b.tex", "\\label{fig:ab}\nAs \\ref{fig:a} shows, \\cite{fig:a}.\n"
                  "\\begin{note}\\end{note}\n"}};

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

// The places are looked for again off the UI thread: the rename is done when the
// status bar says so or its refusal shows.
bool clickRename(MyDocument *window, RenameDialog *dialog)
{
    auto *status = window->window()->findChild<QStatusBar *>();
    status->clearMessage();
    renameButton(dialog)->click();
    return QTest::qWaitFor([&] {
        return status->currentMessage().startsWith("Renamed")
               || AppFixture::shownDialog<QMessageBox>(window->window());
    });
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
    QVERIFY(clickRename(window, dialog));

    QCOMPARE(text(window, "a.tex"), "\\section{A}\\label{fig:zebra}\nSee \\ref{fig:ab} and "
                                    "\\cref{fig:b, fig:a}.\n% old: \\ref{fig:a}\n$\\vect{x}$\n");
    QCOMPARE(text(window, "b.tex"), "\\label{fig:ab}\nAs \\ref{fig:zebra} shows, "
                                    "\\cite{fig:a}.\n\\begin{note}\\end{note}\n");

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
    QVERIFY(clickRename(window, dialog));
    QVERIFY(text(window, "main.tex").contains("\\newcommand{\\bold}[1]"));
    QVERIFY(text(window, "a.tex").contains("$\\bold{x}$"));

    // An environment the document defines, at its \\end.
    putCaret(window, "b.tex", "\\end{no");
    dialog = openRename(window);
    QVERIFY(dialog);
    dialog->findChild<QLineEdit *>()->setText("itemize");
    QCOMPARE(dialog->findChild<QLabel *>("renameRefusal")->text(),
             "itemize is already defined by LaTeX.");
    dialog->findChild<QLineEdit *>()->setText("remark");
    QVERIFY(clickRename(window, dialog));
    QVERIFY(text(window, "main.tex").contains("\\newenvironment{remark}"));
    QVERIFY(text(window, "b.tex").contains("\\begin{remark}\\end{remark}"));
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

    dialog->reject();
    // A command of LaTeX or of a package is taken too.
    putCaret(window, "a.tex", "$\\ve");
    dialog = openRename(window);
    QVERIFY(dialog);
    field = dialog->findChild<QLineEdit *>();
    reason = dialog->findChild<QLabel *>("renameRefusal");
    for (const auto &[name, why] : QList<std::pair<QString, QString>>{
             {"section", "\\section is already defined by LaTeX."},
             {"mathbb", "\\mathbb is already defined by the amssymb package."},
             {"a1", "A command's name is made of letters only."}}) {
        field->setText(name);
        QCOMPARE(reason->text(), why);
    }
    field->setText("vectorbold");
    QVERIFY(renameButton(dialog)->isEnabled());
    dialog->reject();

    // The text changes while the places are shown: nothing is renamed.
    putCaret(window, "a.tex", "\\label{fig:");
    dialog = openRename(window);
    QVERIFY(dialog);
    field = dialog->findChild<QLineEdit *>();
    field->setText("fig:new");
    putCaret(window, "b.tex", "shows, ");
    AppFixture::type(window->textView(), "\\ref{fig:a} ");
    AppFixture::settle();
    const QString aBefore = text(window, "a.tex");
    const QString bBefore = text(window, "b.tex");
    QVERIFY(clickRename(window, dialog));
    QTRY_VERIFY(AppFixture::shownDialog<QMessageBox>(window->window()));
    QCOMPARE(AppFixture::shownDialog<QMessageBox>(window->window())->objectName(), "renameRefused");
    QCOMPARE(text(window, "a.tex"), aBefore);
    QCOMPARE(text(window, "b.tex"), bBefore);
    AppFixture::shownDialog<QMessageBox>(window->window())->accept();

    // A key that neither \bibitem nor a database entry defines is not renamed.
    putCaret(window, "b.tex", "\\cite{fig:");
    QVERIFY(!openRename(window));
    QVERIFY(window->window()->findChild<QStatusBar *>()->currentMessage().contains(
        "bibliography databases defines fig:a"));

    // A command the document does not define is not renamed.
    putCaret(window, "main.tex", "\\documentcl");
    QVERIFY(!openRename(window));
    QVERIFY(window->window()->findChild<QStatusBar *>()->currentMessage().contains(
        "is not defined in this document"));
}

// The entry's key changes in the .bib on disk with the citations, as one step:
// Undo puts the file's bytes back, Redo writes them again. A file gone from disk
// while the places are shown stops the whole rename: nothing changes anywhere.
void TestRename::keyWithItsDatabaseEntry()
{
    AppFixture fixture;
    const QByteArray bib = "@string{tug = \"TUG\"}\n"
                           "@Article{ knuth84,\n  author = {Donald E. Knuth},\n}\n"
                           "@book{knuth84a,\n  title = {Caf\xc3\xa9},\n}\n"
                           "@book(lamport94, title = {LaTeX})\n@misc{uncited,}\n";
    fixture.folder.write({{"main.tex", "\\documentclass{article}\n\\begin{document}\n\\input{a}\n"
                                       "\\bibliography{refs,xampl}\n\\end{document}\n"},
                          {"a.tex", "See \\cite{knuth84}, \\citep[p.~3]{lamport94, knuth84} "
                                    "and \\cite{knuth84a}.\n\\nocite{article-full}\n"},
                          {"refs.bib", bib}});
    MyDocument *window = fixture.open(fixture.folder.path("main.tex"));
    QVERIFY(window);
    const QString aBefore = text(window, "a.tex");

    putCaret(window, "a.tex", "\\cite{knu");
    window->findUsages();
    QCOMPARE(window->window()->findChild<QStatusBar *>()->currentMessage(),
             "The entry of knuth84: refs.bib, line 2.");
    RenameDialog *dialog = openRename(window);
    QVERIFY(dialog);
    auto *list = dialog->findChild<QTreeWidget *>();
    QCOMPARE(list->topLevelItemCount(), 2);
    QCOMPARE(list->topLevelItem(1)->text(0), "refs.bib");
    QCOMPARE(list->topLevelItem(1)->childCount(), 1);
    QCOMPARE(list->topLevelItem(1)->child(0)->text(0), "2: @Article{ knuth84,");
    auto *field = dialog->findChild<QLineEdit *>();
    field->setText("uncited");
    QCOMPARE(dialog->findChild<QLabel *>("renameRefusal")->text(),
             "The citation key uncited is already an entry of refs.bib.");
    field->setText("knuth1984");
    QVERIFY(clickRename(window, dialog));

    const QByteArray renamed = QByteArray(bib).replace("{ knuth84,", "{ knuth1984,");
    QCOMPARE(TestFolder::read(fixture.folder.path("refs.bib")), renamed);
    QCOMPARE(text(window, "a.tex"), "See \\cite{knuth1984}, \\citep[p.~3]{lamport94, knuth1984} "
                                    "and \\cite{knuth84a}.\n\\nocite{article-full}\n");
    window->undo();
    QCOMPARE(TestFolder::read(fixture.folder.path("refs.bib")), bib);
    QCOMPARE(text(window, "a.tex"), aBefore);
    window->redo();
    QCOMPARE(TestFolder::read(fixture.folder.path("refs.bib")), renamed);
    QVERIFY(text(window, "a.tex").contains("{lamport94, knuth1984}"));

    // A key of a database that TeX finds outside the document's folder (here in
    // TeX Live) is not renamed: other documents read it too.
    putCaret(window, "a.tex", "\\nocite{art");
    QVERIFY(!openRename(window));
    QVERIFY(window->window()->findChild<QStatusBar *>()->currentMessage().contains(
        "xampl.bib, outside the document's folder"));

    // The .bib changed on disk since the rename: its Undo is refused, and the
    // texts stay renamed with it.
    fixture.folder.write({{"refs.bib", renamed + "\n"}});
    window->undo();
    QVERIFY(text(window, "a.tex").contains("{lamport94, knuth1984}"));
    QVERIFY(window->window()->findChild<QStatusBar *>()->currentMessage().contains(
        "refs.bib changed on disk since it was read"));

    // The text file is gone from disk while the places are shown.
    putCaret(window, "a.tex", "\\cite{knuth84a");
    dialog = openRename(window);
    QVERIFY(dialog);
    dialog->findChild<QLineEdit *>()->setText("cafe");
    QVERIFY(QFile::remove(fixture.folder.path("a.tex")));
    const QString aNow = text(window, "a.tex");
    QVERIFY(clickRename(window, dialog));
    QTRY_VERIFY(AppFixture::shownDialog<QMessageBox>(window->window()));
    QVERIFY(AppFixture::shownDialog<QMessageBox>(window->window())
                ->text()
                .contains("a.tex is gone from disk"));
    QCOMPARE(TestFolder::read(fixture.folder.path("refs.bib")), renamed + "\n");
    QCOMPARE(text(window, "a.tex"), aNow);
    AppFixture::shownDialog<QMessageBox>(window->window())->accept();
}

// The file moves on disk, into folders made for it; each include is rewritten from
// the folder it named the file from, in its own style; Undo moves it back.
void TestRename::fileMovedAcrossFolders()
{
    AppFixture fixture;
    fixture.folder.write(
        {{"main.tex", "\\documentclass{book}\n\\includeonly{chapters/intro, chapters/b}\n"
                      "\\begin{document}\n\\include{chapters/intro}\n% \\input{chapters/intro}\n"
                      "\\include{chapters/b}\n\\end{document}\n"},
         {"chapters/intro.tex", "\\chapter{Intro}\n"},
         {"chapters/b.tex", "\\chapter{B}\n\\input{intro.tex}\n"}});
    MyDocument *window = fixture.open(fixture.folder.path("main.tex"));
    QVERIFY(window);
    const QString mainBefore = text(window, "main.tex");
    const QString bBefore = text(window, "b.tex");

    putCaret(window, "main.tex", "\\include{chapters/in");
    window->findUsages();
    QCOMPARE(window->window()->findChild<QStatusBar *>()->currentMessage(),
             "chapters/intro.tex is named in main.tex, line 2; main.tex, line 4; main.tex, "
             "line 5; chapters/b.tex, line 2.");
    RenameDialog *dialog = openRename(window);
    QVERIFY(dialog);
    auto *list = dialog->findChild<QTreeWidget *>();
    QCOMPARE(list->topLevelItemCount(), 2);
    QCOMPARE(list->topLevelItem(0)->childCount(), 3);
    QCOMPARE(list->topLevelItem(0)->child(2)->checkState(0), Qt::Unchecked);
    QCOMPARE(list->topLevelItem(1)->child(0)->text(0), "2: \\input{intro.tex}");
    auto *field = dialog->findChild<QLineEdit *>();
    auto *reason = dialog->findChild<QLabel *>("renameRefusal");
    QCOMPARE(field->text(), "chapters/intro.tex");
    for (const auto &[name, why] : QList<std::pair<QString, QString>>{
             {"chapters/b.tex", "chapters/b.tex already exists."},
             {"notes.txt", "A file of the document is named with .tex at its end."},
             {"my intro.tex", "A file's name for LaTeX holds no spaces"}}) {
        field->setText(name);
        QVERIFY2(reason->text().startsWith(why), qPrintable(reason->text()));
    }
    field->setText("parts/one/opening.tex");
    QVERIFY(clickRename(window, dialog));

    QVERIFY(!QFile::exists(fixture.folder.path("chapters/intro.tex")));
    QCOMPARE(TestFolder::read(fixture.folder.path("parts/one/opening.tex")), "\\chapter{Intro}\n");
    QCOMPARE(text(window, "main.tex"),
             "\\documentclass{book}\n\\includeonly{parts/one/opening, chapters/b}\n"
             "\\begin{document}\n\\include{parts/one/opening}\n% \\input{chapters/intro}\n"
             "\\include{chapters/b}\n\\end{document}\n");
    QCOMPARE(text(window, "b.tex"), "\\chapter{B}\n\\input{../parts/one/opening.tex}\n");
    // The outline follows: the moved file is the one the document holds.
    QTRY_VERIFY(AppFixture::fileNamed(window, "opening.tex"));

    window->undo();
    QVERIFY(QFile::exists(fixture.folder.path("chapters/intro.tex")));
    QVERIFY(!QFile::exists(fixture.folder.path("parts/one/opening.tex")));
    QCOMPARE(text(window, "main.tex"), mainBefore);
    QCOMPARE(text(window, "b.tex"), bBefore);
    QTRY_VERIFY(AppFixture::fileNamed(window, "intro.tex"));
    window->redo();
    QVERIFY(QFile::exists(fixture.folder.path("parts/one/opening.tex")));
    QVERIFY(text(window, "main.tex").contains("\\include{parts/one/opening}"));
    // Nothing told the user that a file went missing on the way.
    AppFixture::settle();
    QVERIFY(!AppFixture::shownDialog<QMessageBox>(window->window()));

    // The outline's row of an included file, chosen with the keyboard there.
    QTreeView *outline = window->outlineView();
    const QModelIndexList rows =
        outline->model()->match(outline->model()->index(0, 0), Qt::DisplayRole, "b.tex", 1,
                                Qt::MatchRecursive | Qt::MatchContains);
    QCOMPARE(rows.size(), 1);
    outline->setCurrentIndex(rows.first());
    window->window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window->window()));
    outline->setFocus();
    QTRY_VERIFY(outline->hasFocus());
    dialog = openRename(window);
    QVERIFY(dialog);
    QCOMPARE(dialog->findChild<QLineEdit *>()->text(), "chapters/b.tex");
    QCOMPARE(dialog->findChild<QTreeWidget *>()->topLevelItem(0)->childCount(), 2);
    dialog->reject();
    // And from the row's menu.
    emit outline->customContextMenuRequested(outline->visualRect(rows.first()).center());
    auto *menu = outline->findChild<QMenu *>();
    QVERIFY(menu);
    QCOMPARE(menu->actions().first()->text(), "Rename File b.tex...");
    menu->actions().first()->trigger();
    dialog = AppFixture::shownDialog<RenameDialog>(window->window());
    QVERIFY(dialog);
    QCOMPARE(dialog->findChild<QLineEdit *>()->text(), "chapters/b.tex");
    // The file shown is moved: the window shows it from its new place, and Undo
    // brings back the old one.
    // Its unsaved edit (the include rewritten above) is saved first.
    window->selectRange({0, 0}, AppFixture::fileNamed(window, "b.tex"));
    const QString bNow = window->textView()->toPlainText();
    dialog->findChild<QLineEdit *>()->setText("chapters/b2.tex");
    QVERIFY(clickRename(window, dialog));
    QTRY_COMPARE(window->textStorageDelegate()->selectedFile()->name(), "b2.tex");
    // Its tab is the moved file's: the old file's tab went.
    const QTabBar *tabs = window->window()->findChild<QTabBar *>();
    QStringList names;
    for (int tab = 0; tab < tabs->count(); ++tab)
        names << tabs->tabText(tab);
    QVERIFY2(!names.join(u' ').contains("b.tex") && names.join(u' ').contains("b2.tex"),
             qPrintable(names.join(u',')));
    QCOMPARE(window->textView()->toPlainText(), bNow);
    QCOMPARE(TestFolder::read(fixture.folder.path("chapters/b2.tex")), bNow.toUtf8());
    window->undo();
    QTRY_COMPARE(window->textStorageDelegate()->selectedFile()->name(), "b.tex");
    QVERIFY(QFile::exists(fixture.folder.path("chapters/b.tex")));
}

// The names include commands give, as TeX reads them; "#" marks one in a comment.
void TestRename::includedNames()
{
    const QList<std::pair<QString, QStringList>> cases = {
        {"\\input{a}\\include{b/c}", {"a", "b/c"}},
        {"\\includeonly{ a , b/c ,}", {"a", "b/c"}},
        {"\\input {spaced} \\input{x.tex}", {"spaced", "x.tex"}},
        {"\\includegraphics{fig} \\inputencoding{latin1} \\\\input{no}", {}},
        {"\\verb|\\input{no}| \\begin{verbatim}\\input{no}\\end{verbatim}", {}},
        {"% \\include{old}\n\\input{new}", {"#old", "new"}},
    };
    for (const auto &[text, expected] : cases) {
        QStringList names;
        for (const FileRename::Include &include : FileRename::includesIn(text))
            names << (include.inComment ? "#" : "") + text.mid(include.start, include.length);
        QCOMPARE(names, expected);
    }
}

QUILLSET_TEST_MAIN(TestRename)
#include "tst_rename.moc"
