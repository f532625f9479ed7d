// The documents open at quit come back as they were, through real windows, files,
// a real compile for the PDF, and the settings file of the test.
#include "AppFixture.h"
#include "app/SessionKeeper.h"
#include "model/TextStorageDelegate.h"
#include "pdf/QSPDFView.h"
#include "pdf/QSPDFViewController.h"

#include <QPdfDocument>
#include <QScrollBar>
#include <QTest>

class TestSession : public QObject
{
    Q_OBJECT

private slots:
    void documentsComeBackAsTheyWere();
    void goneFilesAndTheSwitchAreRespected();
};

// Quit remembers the thesis showing a chapter with a selection, scrolled, its PDF at
// page 2; the next start opens it just so, and a file given on the command line too.
void TestSession::documentsComeBackAsTheyWere()
{
    AppFixture fixture;
    MyDocument *thesis = fixture.openExample();
    QVERIFY(AppFixture::compile(thesis));
    QSPDFViewController *pdf = thesis->pdfViewController();
    QTRY_VERIFY(pdf->pdfDocument() && pdf->pdfDocument()->pageCount() > 2);
    pdf->goToPageNo(2);
    const std::shared_ptr<QSFile> methods = AppFixture::fileNamed(thesis, "methods.tex");
    thesis->selectRange({40, 7}, methods);
    const std::shared_ptr<QSFile> intro = AppFixture::fileNamed(thesis, "introduction.tex");
    intro->setCurrentSelection({12, 0});
    SessionKeeper::quit(fixture.documents);
    QTRY_VERIFY(fixture.documents.documents().isEmpty());

    QVERIFY(SessionKeeper::restore(fixture.documents).isEmpty());
    QCOMPARE(fixture.documents.documents().size(), 1);
    auto *again = qobject_cast<MyDocument *>(fixture.documents.documents().first());
    QCOMPARE(again->fileOpened()->pathText(), fixture.folder.path("thesis.tex"));
    QCOMPARE(again->textStorageDelegate()->selectedFile()->name(), "methods.tex");
    const QTextCursor caret = again->textView()->textCursor();
    QCOMPARE(caret.selectionStart(), 40);
    QCOMPARE(caret.selectionEnd(), 47);
    QCOMPARE(AppFixture::fileNamed(again, "introduction.tex")->currentSelection().location, 12u);
    QTRY_COMPARE(again->pdfViewController()->pdfView()->currentPage(), 1);

    // Closing the last window by itself keeps it for the next start, too.
    again->window()->close();
    QTRY_VERIFY(fixture.documents.documents().isEmpty());
    QCOMPARE(UserDefaults::standardUserDefaults().objectForKey(QSSession).toList().size(), 1);
}

// A document gone from disk is skipped and named; turned off, nothing is kept.
void TestSession::goneFilesAndTheSwitchAreRespected()
{
    AppFixture fixture;
    const QString kept = fixture.folder.write("kept.tex", "\\section{Kept}\n");
    const QString gone = fixture.folder.write("gone.tex", "\\section{Gone}\n");
    fixture.open(kept);
    fixture.open(gone);
    SessionKeeper::quit(fixture.documents);
    QTRY_VERIFY(fixture.documents.documents().isEmpty());
    QFile::remove(gone);
    QCOMPARE(SessionKeeper::restore(fixture.documents), QStringList{gone});
    QCOMPARE(fixture.documents.documents().size(), 1);

    UserDefaults::standardUserDefaults().setObject(false, QSReopenDocuments);
    SessionKeeper::quit(fixture.documents);
    QTRY_VERIFY(fixture.documents.documents().isEmpty());
    QVERIFY(UserDefaults::standardUserDefaults().objectForKey(QSSession).toList().isEmpty());
    QVERIFY(SessionKeeper::restore(fixture.documents).isEmpty());
    QVERIFY(fixture.documents.documents().isEmpty());
}

QTEST_MAIN(TestSession)
#include "tst_session.moc"
