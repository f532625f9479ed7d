// The live preview through a real window on the example thesis, with the real
// pdflatex: previews follow edits without a save, keep the page and the zoom, keep
// the last good PDF when one fails, never run two engines, and Ctrl-click works
// both ways on their PDF.
#include "AppFixture.h"
#include "app/LivePreview.h"
#include "model/TextStorageDelegate.h"
#include "pdf/QSPDFView.h"
#include "pdf/QSPDFViewController.h"
#include "pdf/SyncTexLookup.h"
#include "platform/UserDefaults.h"

#include <QDirIterator>
#include <QLabel>
#include <QPdfDocument>
#include <QPdfSelection>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QTreeView>
#include <unistd.h>

class TestLivePreview : public QObject
{
    Q_OBJECT

private slots:
    void previewsFollowTheTextAndLeaveTheFilesAlone();
    void onlyTheChapterShown();
};

namespace {

// Every file of the document's folder with its bytes and modification time (not
// the previews' cache or the test's settings, which the test keeps there).
QMap<QString, QString> filesOnDisk(const QString &folder)
{
    QMap<QString, QString> files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        const QString relative = QDir(folder).relativeFilePath(info.filePath());
        if (relative.startsWith(QStringLiteral("cache/"))
            || relative.startsWith(QStringLiteral("settings")))
            continue;
        QFile file(info.filePath());
        file.open(QIODevice::ReadOnly);
        files[info.filePath()] = QString::number(qHash(file.readAll()))
                                 + QString::number(info.lastModified().toMSecsSinceEpoch());
    }
    return files;
}

QString pdfText(QPdfDocument *pdf)
{
    QString text;
    for (int page = 0; pdf && page < pdf->pageCount(); ++page)
        text += pdf->getAllText(page).text();
    return text;
}

// The pdflatex processes this test started that are alive now.
int enginesAlive()
{
    int alive = 0;
    const QByteArray self = QByteArray::number(qint64(getpid()));
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1] == self && line.contains("(pdflatex)"))
            ++alive;
    }
    return alive;
}

} // namespace

void TestLivePreview::previewsFollowTheTextAndLeaveTheFilesAlone()
{
    AppFixture fixture;
    qputenv("XDG_CACHE_HOME", fixture.folder.path(QStringLiteral("cache")).toUtf8());
    UserDefaults::standardUserDefaults().setObject(300, QSLivePreviewPause);
    MyDocument *thesis = fixture.openExample();
    QVERIFY(thesis);
    const QString thesisFolder = fixture.folder.path({});
    const QMap<QString, QString> before = filesOnDisk(thesisFolder);
    LivePreview *preview = thesis->livePreview();
    QSPDFViewController *pane = thesis->pdfViewController();
    QAction *item = MainMenuController::sharedMainMenuController()->livePreviewItem();
    QVERIFY(!item->isChecked());

    // Turned on, the first preview comes at once; on is remembered for the root.
    item->trigger();
    QVERIFY(preview->isOn());
    QVERIFY(UserDefaults::standardUserDefaults()
                .objectForKey(QSLivePreviewDocuments)
                .toList()
                .contains(fixture.folder.path(QStringLiteral("thesis.tex"))));
    QTRY_VERIFY_WITH_TIMEOUT(preview->isShown(), 60000);
    QCOMPARE(pane->stateText(), QStringLiteral("Up to date"));
    QVERIFY(pdfText(pane->pdfDocument()).contains(QStringLiteral("Twelve pools")));

    // The reader's place and zoom survive the previews that follow an edit.
    pane->pdfView()->setZoomFactor(1.7);
    pane->goToPageNo(4);
    const int page = pane->pdfView()->currentPage();
    const std::shared_ptr<QSFile> methods = AppFixture::fileNamed(thesis, "methods.tex");
    thesis->selectRange({0, 0}, methods);
    AppFixture::typeBefore(thesis->textView(), "Both instruments", "Zebraquartz gauges. ");
    QCOMPARE(pane->stateText(), QStringLiteral("Out of date"));
    QTRY_VERIFY_WITH_TIMEOUT(pdfText(pane->pdfDocument()).contains(QStringLiteral("Zebraquartz")),
                             60000);
    QCOMPARE(pane->pdfView()->zoomFactor(), 1.7);
    QCOMPARE(pane->pdfView()->currentPage(), page);
    QVERIFY(methods->hasContentChangedSinceLastSave(false));

    // Ctrl-click from the text finds the unsaved line in the preview, and from the
    // preview comes back to the editor's file, not to the private copy.
    const int line = thesis->textView()->textCursor().blockNumber() + 1;
    thesis->selectRange({0, 0}, AppFixture::fileNamed(thesis, "thesis.tex"));
    thesis->selectRange({0, 0}, methods);
    QTextCursor caret(thesis->textView()->document()->findBlockByNumber(line - 1));
    thesis->textView()->setTextCursor(caret);
    pane->goToPageNo(1);
    thesis->pdfSyncFromTextViewToPdf();
    const auto position = SyncTexLookup::positionForLine(
        preview->build()->pdfPath(), preview->build()->previewSourcePath(methods->pathText()),
        line);
    QVERIFY(position);
    QCOMPARE(pane->pdfView()->currentPage() + 1, position->page);
    thesis->selectRange({0, 0}, AppFixture::fileNamed(thesis, "thesis.tex"));
    emit pane->pdfView()->syncPointClicked(position->page, QPointF(position->x, position->y + 2));
    QCOMPARE(thesis->textStorageDelegate()->selectedFile(), methods);
    QCOMPARE(thesis->textView()->textCursor().blockNumber() + 1, line);

    // Typing on while previews run: a pause ends the run under way, and never do
    // two engines run at once.
    int most = 0;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, [&most] { most = std::max(most, enginesAlive()); });
    sampler.start(5);
    UserDefaults::standardUserDefaults().setObject(100, QSLivePreviewPause);
    AppFixture::typeBefore(thesis->textView(), "Both instruments", "");
    for (int n = 0; n < 12; ++n) {
        AppFixture::type(thesis->textView(), QStringLiteral("x"));
        QTest::qWait(130);
    }
    AppFixture::typeBefore(thesis->textView(), "Both instruments", "Lastword. ");
    QTRY_VERIFY_WITH_TIMEOUT(pdfText(pane->pdfDocument()).contains(QStringLiteral("Lastword")),
                             60000);
    sampler.stop();
    QCOMPARE(most, 1);

    // A preview that fails keeps the last good PDF and says where, without the
    // console, the error list or the focus.
    thesis->textView()->setFocus();
    AppFixture::typeBefore(thesis->textView(), "Both instruments", "\\undefinedmacro ");
    const int badLine = thesis->textView()->textCursor().blockNumber() + 1;
    QTRY_COMPARE_WITH_TIMEOUT(pane->stateText(), QStringLiteral("Failed"), 60000);
    QCOMPARE(
        pane->note(),
        QStringLiteral("preview stopped at line %1: Undefined control sequence.").arg(badLine));
    QVERIFY(pdfText(pane->pdfDocument()).contains(QStringLiteral("Lastword")));
    QVERIFY(!thesis->consoleViewController()->isShown());
    QCOMPARE(thesis->consoleViewController()->errorWarningOutline()->model()->rowCount(), 0);
    QCOMPARE(QApplication::focusWidget(), thesis->textView());
    // The note takes the user to the line.
    thesis->selectRange({0, 0}, AppFixture::fileNamed(thesis, "thesis.tex"));
    emit pane->view()->findChild<QLabel *>(QStringLiteral("o_noteLabel"))->linkActivated("#");
    QCOMPARE(thesis->textStorageDelegate()->selectedFile(), methods);
    QCOMPARE(thesis->textView()->textCursor().blockNumber() + 1, badLine);

    // Nothing of the user's was written by any preview.
    QCOMPARE(filesOnDisk(thesisFolder), before);

    // F5 runs alone and its PDF takes the preview's place, at the same zoom.
    QTextCursor bad = thesis->textView()->document()->find(QStringLiteral("\\undefinedmacro "));
    bad.removeSelectedText();
    AppFixture::settle();
    QVERIFY(AppFixture::compile(thesis));
    QTRY_COMPARE(pane->currentDocumentPath(), fixture.folder.path(QStringLiteral("thesis.pdf")));
    QCOMPARE(pane->pdfView()->zoomFactor(), 1.7);
    QCOMPARE(pane->stateText(), QStringLiteral("Up to date"));
    QVERIFY(!preview->build()->isEngineRunning());

    // On is remembered for the document: opened again, with its compiled PDF
    // beside it now, the window previews at once.
    QVERIFY(thesis->window()->close());
    QCoreApplication::processEvents();
    thesis = fixture.open(fixture.folder.path(QStringLiteral("thesis.tex")));
    QVERIFY(thesis);
    preview = thesis->livePreview();
    pane = thesis->pdfViewController();
    QVERIFY(preview->isOn());
    QTRY_VERIFY_WITH_TIMEOUT(preview->isShown(), 60000);

    // Off: the state goes, and so does the remembered choice.
    item->trigger();
    QVERIFY(!preview->isOn());
    QCOMPARE(pane->stateText(), QString());
    QVERIFY(UserDefaults::standardUserDefaults()
                .objectForKey(QSLivePreviewDocuments)
                .toList()
                .isEmpty());
}

// With "only the chapter I am editing", the \include'd chapter shown is typeset
// alone; the root shown, or a chapter that is not \include'd, gives the whole.
void TestLivePreview::onlyTheChapterShown()
{
    AppFixture fixture;
    qputenv("XDG_CACHE_HOME", fixture.folder.path(QStringLiteral("cache")).toUtf8());
    UserDefaults::standardUserDefaults().setObject(100, QSLivePreviewPause);
    fixture.folder.write({{"book.tex", "\\documentclass{report}\n\\begin{document}\n"
                                       "\\include{ch/one}\n\\include{ch/two}\n\\input{ch/three}\n"
                                       "\\end{document}\n"},
                          {"ch/one.tex", "\\chapter{One}\nAlphaword.\n"},
                          {"ch/two.tex", "\\chapter{Two}\nBetaword.\n"},
                          {"ch/three.tex", "\\chapter{Three}\nDeltaword.\n"}});
    MyDocument *book = fixture.open(fixture.folder.path(QStringLiteral("book.tex")));
    QVERIFY(book);
    const std::shared_ptr<QSFile> root = book->fileOpened();
    QCOMPARE(LivePreview::chapterOf(root, AppFixture::fileNamed(book, "two.tex")), "ch/two");
    QCOMPARE(LivePreview::chapterOf(root, AppFixture::fileNamed(book, "three.tex")), QString());
    QCOMPARE(LivePreview::chapterOf(root, root), QString());

    QSPDFViewController *pane = book->pdfViewController();
    MainMenuController::sharedMainMenuController()->previewOnlyChapterItem()->trigger();
    QVERIFY(UserDefaults::standardUserDefaults().boolForKey(QSLivePreviewOnlyChapter));
    book->livePreview()->setOn(true);
    QTRY_VERIFY_WITH_TIMEOUT(pdfText(pane->pdfDocument()).contains(QStringLiteral("Alphaword")),
                             60000);
    book->selectRange({0, 0}, AppFixture::fileNamed(book, "two.tex"));
    AppFixture::typeBefore(book->textView(), "Betaword", "Gammaword ");
    QTRY_VERIFY_WITH_TIMEOUT(pdfText(pane->pdfDocument()).contains(QStringLiteral("Gammaword")),
                             60000);
    const QString chapterAlone = pdfText(pane->pdfDocument());
    QVERIFY(!chapterAlone.contains(QStringLiteral("Alphaword")));
    QVERIFY(chapterAlone.contains(QStringLiteral("Deltaword")));
    MainMenuController::sharedMainMenuController()->previewOnlyChapterItem()->trigger();
    book->livePreview()->setOn(false);
}

QUILLSET_TEST_MAIN(TestLivePreview)
#include "tst_livepreview.moc"
