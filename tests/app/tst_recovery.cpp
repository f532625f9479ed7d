#include "AppFixture.h"
#include "app/RecoveryKeeper.h"

#include <QTemporaryDir>

class TestRecovery : public QObject
{
    Q_OBJECT

private slots:
    void unsavedTextSurvivesACrash();
};

// Edits in a root file, in an included chapter and in a new document are kept;
// after the windows went without saving (as in a crash) they come back as edits
// that can be undone; saved files leave the recovery folder.
void TestRecovery::unsavedTextSurvivesACrash()
{
    AppFixture fixture;
    QTemporaryDir recoveryFolder;
    RecoveryKeeper keeper(recoveryFolder.path() + QStringLiteral("/recovery"));
    QCOMPARE(keeper.keepNow(), 0);
    MyDocument *thesis = fixture.openExample();
    QSTextView *text = thesis->textView();
    text->moveCursor(QTextCursor::End);
    AppFixture::type(text, "Root edit.\n");
    thesis->selectRange(QSRange{0, 0}, AppFixture::fileNamed(thesis, "methods.tex"));
    AppFixture::type(text, "% chapter edit\n");
    MyDocument *untitled = fixture.open();
    untitled->textView()->moveCursor(QTextCursor::End);
    AppFixture::type(untitled->textView(), "Fresh words.");
    AppFixture::settle();

    QMap<QString, QString> edited;
    for (const auto &file : QSFilePool::sharedFilePool()->allFiles())
        if (file->hasContentChangedSinceLastSave(false))
            edited.insert(file->pathText(), file->content());
    QCOMPARE(edited.size(), 3);
    QCOMPARE(keeper.keepNow(), 3);
    QCOMPARE(keeper.pendingRecoveries().size(), 3);
    for (const RecoveryKeeper::Recovered &entry : keeper.pendingRecoveries())
        QCOMPARE(entry.text, edited.value(entry.path));

    // The windows go without saving; the files on disk keep their old text.
    QApplication::closeAllWindows();
    QCoreApplication::processEvents();
    QVERIFY(fixture.documents.documents().isEmpty());
    keeper.restoreInto(&fixture.documents, keeper.pendingRecoveries());
    QCOMPARE(fixture.documents.documents().size(), 2);
    AppFixture::settle();
    int restored = 0;
    for (const auto &file : QSFilePool::sharedFilePool()->allFiles()) {
        const QString expected = file->isUntitled()
                                     ? edited.value(edited.keys().filter("Untitled").value(0))
                                     : edited.value(file->pathText());
        if (!expected.isNull()) {
            QCOMPARE(file->content(), expected);
            QVERIFY(file->hasContentChangedSinceLastSave(false));
            ++restored;
        }
    }
    QCOMPARE(restored, 3);

    // The restored text is one edit: undone, the root has its text from disk again.
    MyDocument *reopened = nullptr;
    for (Document *document : fixture.documents.documents()) {
        auto *candidate = qobject_cast<MyDocument *>(document);
        if (!candidate->fileOpened()->isUntitled())
            reopened = candidate;
    }
    QVERIFY(reopened);
    reopened->selectRange(QSRange{0, 0}, reopened->fileOpened());
    reopened->undo();
    AppFixture::settle();
    QCOMPARE(reopened->fileOpened()->content(),
             QString::fromUtf8(TestFolder::read(fixture.folder.path("thesis.tex"))));

    // Files back to their saved text leave the recovery folder; the new document stays.
    for (const auto &file : QSFilePool::fileList(reopened->fileOpened().get())) {
        reopened->selectRange(QSRange{0, 0}, file);
        if (file->hasContentChangedSinceLastSave(false))
            reopened->undo();
    }
    AppFixture::settle();
    QCOMPARE(keeper.keepNow(), 1);
    QCOMPARE(keeper.pendingRecoveries().first().untitled, true);
    keeper.removeAll();
    QVERIFY(keeper.pendingRecoveries().isEmpty());
}

QTEST_MAIN(TestRecovery)
#include "tst_recovery.moc"
