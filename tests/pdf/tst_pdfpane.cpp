#include "app/AppFixture.h"
#include "compile/ErrorOutlineDataSource.h"
#include "editor/QSTextView.h"
#include "model/QSFile.h"
#include "model/TextStorageDelegate.h"
#include "pdf/QSPDFView.h"
#include "pdf/QSPDFViewController.h"

#include <QAction>
#include <QLabel>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPrinter>
#include <QProcess>
#include <QScrollBar>
#include <QSpinBox>
#include <QTextBlock>
#include <QThreadPool>
#include <QToolButton>
#include <QTreeView>

namespace {

// Shows a file of the document with the insertion point on a neighbouring line, then
// Ctrl-clicks a line: the PDF turns to the page of the clicked line.
void syncFromLine(MyDocument *document, const QString &name, int line)
{
    const std::shared_ptr<QSFile> file = AppFixture::fileNamed(document, name);
    document->selectRange(QSRange{0, 0}, file);
    QSTextView *text = document->textView();
    const QTextBlock block = text->document()->findBlockByNumber(line - 1);
    const QTextBlock neighbour = block.previous().isValid() ? block.previous() : block.next();
    document->selectRange(QSRange{quint32(neighbour.position()), 0}, file);
    const QRect clicked = text->cursorRect(QTextCursor(block));
    QTest::mouseClick(text->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      clicked.center() + QPoint(2, 0));
    QCOMPARE(text->textCursor().blockNumber(), line - 1);
}

// The page a sync from the text went to, when the line it marked is on the page and
// in view and the page field names that page; else 0.
int shownPage(QSPDFView *view)
{
    const QSPDFView::Mark mark = view->lastMark();
    if (mark.page < 0 || view->currentPage() != mark.page)
        return 0;
    const QSizeF points = view->document()->pagePointSize(mark.page);
    const QRect page = view->pageGeometry(mark.page);
    const qreal line = mark.rect.center().y();
    const int shown = page.top() + int(line * page.height() / points.height())
                      - view->verticalScrollBar()->value();
    const bool onPage = line >= 0 && line <= points.height();
    return onPage && shown >= 0 && shown < view->viewport()->height() ? mark.page + 1 : 0;
}

// Writes main.tex, a document of plain pages, and typesets it; its text.
QByteArray typesetPages(const TestFolder &folder, int pages)
{
    QByteArray text = "\\documentclass{article}\n\\begin{document}\n";
    for (int page = 1; page <= pages; ++page)
        text += "Page " + QByteArray::number(page) + ".\\newpage\n";
    text += "\\end{document}\n";
    folder.write("main.tex", text);
    QProcess engine;
    engine.setWorkingDirectory(folder.path(""));
    engine.start("pdflatex", {"-interaction=nonstopmode", "main.tex"});
    if (!engine.waitForFinished(120000) || engine.exitCode() != 0)
        qWarning("pdflatex failed");
    return text;
}

// Ctrl-clicks the page at a position given as the sync data gives it: scaled points
// from the page's lower left corner.
void clickPdfAt(QSPDFView *view, int page, double xScaled, double yScaled,
                Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
{
    const double perPoint = 65536.0 * 72.27 / 72.0;
    view->showPage(page - 1);
    const QSizeF points = view->document()->pagePointSize(page - 1);
    const QRect geometry = view->pageGeometry(page - 1);
    const QPointF onPage(xScaled / perPoint * geometry.width() / points.width(),
                         (points.height() - yScaled / perPoint) * geometry.height()
                             / points.height());
    const QPoint scrolled(view->horizontalScrollBar()->value(), view->verticalScrollBar()->value());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers,
                      (geometry.topLeft() + onPage).toPoint() - scrolled);
}

// Counts what the application delivers. Views that undo each other's layout keep
// posting work without end: past a bound, the calls and layout requests queued to
// widgets are dropped so that the test can end.
class EventCounter : public QObject
{
public:
    EventCounter() { QCoreApplication::instance()->installEventFilter(this); }

    // Turns the event loop until a turn delivers nothing; false when the window runs
    // away or a generous number of turns is not enough.
    bool goesIdle()
    {
        _delivered = 0;
        for (int turn = 0; turn < 1000; ++turn) {
            const int before = _delivered;
            QCoreApplication::processEvents();
            if (_delivered == before)
                return _delivered < runawayBound;
        }
        return false;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (++_delivered < runawayBound || !watched->isWidgetType())
            return false;
        return event->type() == QEvent::MetaCall || event->type() == QEvent::LayoutRequest;
    }

private:
    static constexpr int runawayBound = 100000;
    int _delivered = 0;
};

} // namespace

class TestPdfPane : public QObject
{
    Q_OBJECT

private slots:
    void init() { _fixture = std::make_unique<AppFixture>(); }
    void cleanup() { _fixture.reset(); }
    void compileShowsSyncsReloadsHidesAndPrintsThePdf();
    void tableInASubFolderSyncsBothWays();
    void zoomAndPagesFollowThePaneAndAreRemembered();
    void longPdfIsMeasuredOnAWorkerAndTheLatestLoadWins();
    void windowGoesIdleAtEverySize_data();
    void windowGoesIdleAtEverySize();

private:
    std::unique_ptr<AppFixture> _fixture;
};

// The document of tests/data/sync, typeset with SyncTeX instead of the pdfsync package.
void TestPdfPane::compileShowsSyncsReloadsHidesAndPrintsThePdf()
{
    _fixture->folder.copyData(QStringLiteral("sync"));
    QFile::remove(_fixture->folder.path("main.pdfsync"));
    QByteArray root = TestFolder::read(_fixture->folder.path("main.tex"));
    root.replace("\\usepackage{pdfsync}", "\\synctex=1");
    // The engine alone: the sync data is there because the source asks for it.
    UserDefaults::standardUserDefaults().setObject(true, QSRunEngineOnce);
    MyDocument *document = _fixture->open(_fixture->folder.write("main.tex", root));
    QSPDFViewController *pdf = document->pdfViewController();
    MainMenuController *menu = MainMenuController::sharedMainMenuController();
    QVERIFY(pdf->isHidden());
    QVERIFY(menu->showPDFItem()->isVisible());

    QVERIFY(AppFixture::compile(document));
    QVERIFY(!pdf->isHidden());
    QCOMPARE(pdf->pdfDocument()->pageCount(), 5);

    // Ctrl-clicks in the text and in the PDF find their way through the SyncTeX file.
    QVERIFY(QFileInfo::exists(_fixture->folder.path("main.synctex.gz")));
    QVERIFY(!QFileInfo::exists(_fixture->folder.path("main.pdfsync")));
    QSPDFView *view = pdf->pdfView();
    syncFromLine(document, "nested.tex", 4);
    QCOMPARE(shownPage(view), 5);
    syncFromLine(document, "main.tex", 9);
    QCOMPARE(shownPage(view), 2);
    clickPdfAt(view, 2, 8799518 + 65536 * 20, 42036283);
    QCOMPARE(document->textStorageDelegate()->selectedFile()->name(), "one.tex");

    // A second compile reloads in place: the same part of the document stays in view.
    // Warnings leave the engine writing the PDF: the pane shows the new one and the
    // console keeps the warnings in view.
    QTRY_VERIFY(view->verticalScrollBar()->maximum() > 500);
    view->verticalScrollBar()->setValue(500);
    document->selectRange(QSRange{0, 0}, document->fileOpened());
    AppFixture::typeBefore(document->textView(), "\\end{document}",
                           "\\newpage\nSee \\ref{nowhere}.\n");
    QVERIFY(AppFixture::compile(document));
    QCOMPARE(pdf->pdfDocument()->pageCount(), 6);
    QCOMPARE(view->verticalScrollBar()->value(), 500);
    ConsoleViewController *console = document->consoleViewController();
    QVERIFY(console->isShown() && console->errorWarningOutline()->isVisible());
    // The compile's warnings, and the reference checks' own group for \ref{nowhere}.
    const QAbstractItemModel *tree = console->errorOutlineDataSource();
    QCOMPARE(tree->rowCount(), 2);
    QCOMPARE(tree->index(1, 0).data().toString(), "References");
    // The engine ran alone: the console says what resolves the undefined reference.
    QVERIFY(!console->hintLabel()->isHidden() && console->hintLabel()->text().contains("Ctrl+F5"));
    QVERIFY(!pdf->isHidden());

    menu->hidePDFItem()->trigger();
    QVERIFY(menu->showPDFItem()->isVisible());
    QTRY_VERIFY(pdf->isHidden());
    QCOMPARE(pdf->view()->parentWidget()->width(), 1);
    menu->showPDFItem()->trigger();
    const int half = pdf->view()->parentWidget()->parentWidget()->width() / 2;
    QTRY_COMPARE(pdf->view()->parentWidget()->width(), half);
    QVERIFY(menu->hidePDFItem()->isVisible() && !menu->showPDFItem()->isVisible());

    // Printed on landscape paper, each portrait page is turned to fill it.
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(_fixture->folder.path("printed.pdf"));
    printer.setPageOrientation(QPageLayout::Landscape);
    pdf->printTo(&printer);
    QPdfDocument printed;
    printed.load(_fixture->folder.path("printed.pdf"));
    QCOMPARE(printed.pageCount(), 6);
    QVERIFY(printed.pagePointSize(0).width() > printed.pagePointSize(0).height());

    // A PDF that can no longer be read leaves the last one shown and says why.
    menu->hideConsoleItem()->trigger();
    _fixture->folder.write("main.pdf", "not a PDF");
    document->reloadPDF();
    QCOMPARE(pdf->pdfDocument()->pageCount(), 6);
    QVERIFY(console->isShown());
    QTRY_VERIFY(console->textLogger()->toPlainText().contains("main.pdf could not be shown"));
}

// A chapter in a sub-folder includes a table by its path from the root's folder, as
// TeX reads it: the table is part of the document, and the sync finds it both ways.
// (Errors in such a file are the log parser test's, choosing them the console test's.)
void TestPdfPane::tableInASubFolderSyncsBothWays()
{
    _fixture->folder.copyData(QStringLiteral("subfolder"));
    // The engine alone, so that the pdfsync package's data is the one read.
    UserDefaults::standardUserDefaults().setObject(true, QSRunEngineOnce);
    MyDocument *document = _fixture->open(_fixture->folder.path("main.tex"));
    const std::shared_ptr<QSFile> table = AppFixture::fileNamed(document, "table1.tex");
    QCOMPARE(table->pathText(), _fixture->folder.path("chapters/figures/table1.tex"));
    QVERIFY(AppFixture::compile(document));
    QSPDFView *view = document->pdfViewController()->pdfView();
    QCOMPARE(view->document()->pageCount(), 3);

    // Ctrl-clicks in the text turn the PDF to the page of the line: file, line, page.
    for (const QString row : {"table1.tex 1 2", "table1.tex 3 3", "results.tex 2 2",
                              "results.tex 6 3", "main.tex 4 1", "main.tex 8 3"}) {
        syncFromLine(document, row.section(u' ', 0, 0), row.section(u' ', 1, 1).toInt());
        QVERIFY2(shownPage(view) == row.section(u' ', 2).toInt(), qPrintable(row));
    }

    // A click at the table's last line in the PDF, as the sync data places it on the
    // third page, shows that line; only a Ctrl-click asks for it.
    clickPdfAt(view, 3, 8799518, 46515936, Qt::NoModifier);
    QCOMPARE(document->textStorageDelegate()->selectedFile(), document->fileOpened());
    clickPdfAt(view, 3, 8799518, 46515936);
    QCOMPARE(document->textStorageDelegate()->selectedFile(), table);
    QCOMPARE(document->textView()->textCursor().selectedText(), "The table, on the third page.");
}

// The bar and the keys of the pane zoom and turn pages; the zoom outlives a reload
// and is there again when the PDF is shown anew.
void TestPdfPane::zoomAndPagesFollowThePaneAndAreRemembered()
{
    typesetPages(_fixture->folder, 4);
    MyDocument *document = _fixture->open(_fixture->folder.path("main.tex"));
    document->window()->resize(1200, 800);
    QSPDFViewController *pdf = document->pdfViewController();
    QSPDFView *view = pdf->pdfView();
    QSpinBox *field = pdf->pageField();
    QCOMPARE(pdf->pdfDocument()->pageCount(), 4);
    QCOMPARE(field->text(), "1 / 4");

    // The pane's keys act only while the focus is in it.
    QApplication::setActiveWindow(document->window());
    QVERIFY(QTest::qWaitForWindowActive(document->window()));
    document->textView()->setFocus();
    QTest::keyClick(document->textView(), Qt::Key_Plus, Qt::ControlModifier);
    QTest::keyClick(document->textView(), Qt::Key_PageDown);
    QCOMPARE(view->zoomMode(), QPdfView::ZoomMode::FitToWidth);
    QCOMPARE(view->currentPage(), 0);
    view->setFocus();
    for (const auto &[key, page] : {std::pair{Qt::Key_PageDown, 2},
                                    {Qt::Key_PageDown, 3},
                                    {Qt::Key_PageUp, 2},
                                    {Qt::Key_End, 4},
                                    {Qt::Key_Home, 1}}) {
        QTest::keyClick(view, key);
        QCOMPARE(view->pageNavigator()->currentPage(), page - 1);
        QCOMPARE(field->text(), QString("%1 / 4").arg(page));
    }
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, "3");
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(view->pageNavigator()->currentPage(), 2);
    QCOMPARE(field->text(), "3 / 4");

    // Zooming keeps the page in view, by the keys of the field too and by Ctrl and
    // the wheel over the pages.
    const qreal fitted = view->effectiveZoom();
    QTest::keyClick(field, Qt::Key_Plus, Qt::ControlModifier);
    QCOMPARE(view->zoomMode(), QPdfView::ZoomMode::Custom);
    QCOMPARE(view->zoomFactor(), fitted * 1.25);
    QCOMPARE(view->currentPage(), 2);
    const QPoint pointer = view->viewport()->rect().center() + QPoint(20, 40);
    const auto pointed = view->pagePointAt(pointer);
    QWheelEvent wheel(pointer, view->viewport()->mapToGlobal(pointer), QPoint(), QPoint(0, -240),
                      Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &wheel);
    QCOMPARE(view->zoomFactor(), fitted / 1.25);
    const auto stillPointed = view->pagePointAt(pointer);
    QVERIFY(pointed && stillPointed && pointed->first == stillPointed->first);
    // Narrower than the view, the pages are centred: only the height stays.
    QVERIFY(qAbs(pointed->second.y() - stillPointed->second.y()) < 2);

    // A reload after a compile keeps the zoom and the page.
    document->reloadPDF();
    QCOMPARE(view->zoomMode(), QPdfView::ZoomMode::Custom);
    QCOMPARE(view->zoomFactor(), fitted / 1.25);
    QCOMPARE(field->text(), "3 / 4");
    pdf->view()->findChild<QToolButton *>("o_fitWidthButton")->click();
    document->reloadPDF();
    QCOMPARE(view->zoomMode(), QPdfView::ZoomMode::FitToWidth);
    QCOMPARE(view->effectiveZoom(), fitted);

    // Another pane showing the PDF anew takes the zoom it was last shown with.
    pdf->view()->findChild<QToolButton *>("o_zoomInButton")->click();
    QSPDFViewController again;
    QVERIFY(again.setFilePath(_fixture->folder.path("main.pdf")));
    QCOMPARE(again.pdfView()->zoomMode(), QPdfView::ZoomMode::Custom);
    QCOMPARE(again.pdfView()->zoomFactor(), fitted * 1.25);
    pdf->view()->findChild<QToolButton *>("o_fitPageButton")->click();
    QCOMPARE(view->zoomMode(), QPdfView::ZoomMode::FitInView);
}

// A long PDF is shown once a worker has read its pages' sizes; until then the one
// before stays. Of loads that overlap, the latest is what shows.
void TestPdfPane::longPdfIsMeasuredOnAWorkerAndTheLatestLoadWins()
{
    const TestFolder &folder = _fixture->folder;
    const int longPages = QSPDFViewController::pagesMeasuredOnAWorker + 1;
    typesetPages(folder, longPages);
    QVERIFY(QFile::rename(folder.path("main.pdf"), folder.path("long.pdf")));
    typesetPages(folder, 2);
    QSPDFViewController pdf;
    QSignalSpy shown(&pdf, &QSPDFViewController::documentShown);
    const auto settle = [] {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
    };
    QVERIFY(pdf.setFilePath(folder.path("main.pdf")));
    QCOMPARE(shown.size(), 1);
    QVERIFY(pdf.setFilePath(folder.path("long.pdf")));
    QVERIFY(pdf.setFilePath(folder.path("long.pdf")));
    QCOMPARE(pdf.pdfDocument()->pageCount(), 2);
    settle();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(pdf.pdfDocument()->pageCount(), longPages);
    QCOMPARE(pdf.pdfView()->document(), pdf.pdfDocument());

    QVERIFY(pdf.setFilePath(folder.path("long.pdf")));
    QVERIFY(pdf.setFilePath(folder.path("main.pdf")));
    settle();
    QCOMPARE(shown.size(), 3);
    QCOMPARE(pdf.pdfDocument()->pageCount(), 2);
    // Closed while a worker measures, the pane waits for it.
    QVERIFY(pdf.setFilePath(folder.path("long.pdf")));
}

void TestPdfPane::windowGoesIdleAtEverySize_data()
{
    QTest::addColumn<int>("pages");
    QTest::newRow("one page") << 1;
    QTest::newRow("many pages") << 6;
}

// At some sizes a page is about as tall as the pane; whatever the size, the window
// settles after its PDF is reloaded and after its text changes on disk.
void TestPdfPane::windowGoesIdleAtEverySize()
{
    QFETCH(int, pages);
    const QByteArray text = typesetPages(_fixture->folder, pages);
    MyDocument *document = _fixture->open(_fixture->folder.path("main.tex"));
    QVERIFY(!document->pdfViewController()->isHidden());
    QCOMPARE(document->pdfViewController()->pdfDocument()->pageCount(), pages);

    EventCounter counter;
    for (int width = 900; width <= 1600; width += 100) {
        for (int height = 500; height <= 1000; height += 10) {
            const QByteArray size = QByteArray::number(width) + "x" + QByteArray::number(height);
            document->window()->resize(width, height);
            QVERIFY2(counter.goesIdle(), size + " resized");
            document->reloadPDF();
            QVERIFY2(counter.goesIdle(), size + " PDF reloaded");
            // Written by another program, noticed when the window becomes active again.
            _fixture->folder.write("main.tex", text + "% " + size + "\n");
            QEvent activation(QEvent::WindowActivate);
            QCoreApplication::sendEvent(document->window(), &activation);
            QVERIFY2(counter.goesIdle(), size + " text changed on disk");
            QVERIFY2(document->textView()->toPlainText().endsWith(size + "\n"), size);
        }
    }
}

QUILLSET_TEST_MAIN(TestPdfPane)
#include "tst_pdfpane.moc"
