// What each pane tells the window, heard without a window: the window only wires
// these signals to its own actions.
#include "TestSupport.h"
#include "compile/ConsoleViewController.h"
#include "compile/LatexLogParser.h"
#include "editor/DropTextView.h"
#include "editor/QSTextView.h"
#include "editor/SmartDrop.h"
#include "find/FindAndReplaceViewController.h"
#include "model/ChangesQueue.h"
#include "model/ErrorWarningNode.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/TextStorageDelegate.h"
#include "pdf/QSPDFView.h"
#include "pdf/QSPDFViewController.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QTreeView>

class TestPaneSignals : public QObject
{
    Q_OBJECT

private slots:
    void consoleTellsShownStateDiagnosticAndSuccess();
    void pdfPaneTellsShownStateAndSyncPoint();
    void findStripTellsResultsAndTheChosenOne();
    void smartDropSheetAsksForANewSnippet();
};

void TestPaneSignals::consoleTellsShownStateDiagnosticAndSuccess()
{
    TestFolder folder;
    QSFilePool pool;
    folder.write("a.tex", "one\ntwo\nthree\n");
    const std::shared_ptr<QSFile> held = pool.readFile(folder.url("a.tex"));
    QSplitter split(Qt::Vertical);
    auto *area = new QWidget(&split);
    split.addWidget(new QWidget);
    split.addWidget(area);
    ConsoleViewController console;
    console.view()->setParent(area);

    QSignalSpy shown(&console, &ConsoleViewController::shownChanged);
    console.animatedExpansionToHeight(ConsoleViewController::openHeight);
    console.hideWithoutAnimation();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown.at(0).at(0).toBool(), true);
    QCOMPARE(shown.at(1).at(0).toBool(), false);

    // A compile that ends with a warning: success is told, and so is the choice of
    // the warning's row, with its file and line.
    auto warning = std::make_shared<ErrorWarningNode>();
    warning->file = held;
    warning->type = QStringLiteral("warning");
    warning->lineNumber = 2;
    QSignalSpy succeeded(&console, &ConsoleViewController::compileSucceeded);
    QSignalSpy chosen(&console, &ConsoleViewController::diagnosticChosen);
    console.logParser()->takeResult({{held, {warning}}}, true);
    QCOMPARE(succeeded.size(), 1);
    QTreeView *tree = console.errorWarningOutline();
    const QModelIndex row = tree->model()->index(0, 0, tree->model()->index(0, 0));
    tree->selectionModel()->select(row, QItemSelectionModel::ClearAndSelect);
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(chosen.at(0).at(0).value<std::shared_ptr<QSFile>>(), held);
    QCOMPARE(chosen.at(0).at(1).toInt(), 2);

    // A failed engine is no success.
    console.logParser()->takeResult({{held, {warning}}}, false);
    QCOMPARE(succeeded.size(), 1);
}

void TestPaneSignals::pdfPaneTellsShownStateAndSyncPoint()
{
    TestFolder folder;
    const QString path = folder.path("one.pdf");
    {
        QPdfWriter writer(path);
        QPainter painter(&writer);
        painter.drawText(100, 100, QStringLiteral("A page"));
    }
    QSplitter split;
    split.addWidget(new QWidget);
    auto *area = new QWidget;
    split.addWidget(area);
    QSPDFViewController pdf;
    pdf.view()->setParent(area);
    split.resize(800, 600);
    split.show();
    QVERIFY(QTest::qWaitForWindowExposed(&split));
    QVERIFY(pdf.setFilePath(path));

    QSignalSpy shown(&pdf, &QSPDFViewController::shownChanged);
    pdf.showPDFViewWithAnimation(false);
    pdf.hidePDFViewWithAnimation(false);
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown.at(0).at(0).toBool(), true);
    QCOMPARE(shown.at(1).at(0).toBool(), false);

    // A Ctrl-click on the first page names page 1 and a point on it; a plain click
    // is no sync request.
    pdf.showPDFViewWithAnimation(false);
    area->resize(400, 600);
    pdf.view()->resize(area->size());
    QSPDFView *view = pdf.pdfView();
    QTRY_VERIFY(view->pageGeometry(0).width() > 10);
    QSignalSpy clicked(view, &QSPDFView::syncPointClicked);
    const QPoint onPage =
        view->pageGeometry(0).center()
        - QPoint(view->horizontalScrollBar()->value(), view->verticalScrollBar()->value());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, onPage);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, onPage);
    QCOMPARE(clicked.size(), 1);
    QCOMPARE(clicked.at(0).at(0).toInt(), 1);
    const QPointF point = clicked.at(0).at(1).toPointF();
    const QSizeF page = view->document()->pagePointSize(0);
    QVERIFY(qAbs(point.x() - page.width() / 2) < page.width() / 20);
    QVERIFY(qAbs(point.y() - page.height() / 2) < page.height() / 20);
}

void TestPaneSignals::findStripTellsResultsAndTheChosenOne()
{
    const TestFolder settings;
    QSFilePool pool;
    ChangesQueue queue;
    const std::shared_ptr<QSFile> file = pool.createFileFromTemplateString(
        QStringLiteral("intro\n\\section{A}\nthe needle\n"), QStringLiteral("Untitled"));
    QSTextView text;
    TextStorageDelegate delegate(&text);
    delegate.setSelectedFile(file);
    QTreeView outline;
    FindAndReplaceViewController find(&text, &delegate, &outline, [file] { return file; });
    QWidget strip;
    find.view()->setParent(&strip);
    // The window lists the results in its outline when told to.
    connect(&find, &FindAndReplaceViewController::resultsShown, &outline, &QTreeView::setModel);

    QSignalSpy shown(&find, &FindAndReplaceViewController::resultsShown);
    QSignalSpy hidden(&find, &FindAndReplaceViewController::resultsHidden);
    QSignalSpy chosen(&find, &FindAndReplaceViewController::resultChosen);
    find.showFindAndReplace();
    find.findTextField()->setText(QStringLiteral("NEEDLE"));
    find.searchFileForString();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(outline.model()->rowCount(), 1);
    outline.selectionModel()->select(outline.model()->index(0, 0),
                                     QItemSelectionModel::ClearAndSelect);
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(chosen.at(0).at(0).value<std::shared_ptr<QSFile>>(), file);
    const QSRange range = chosen.at(0).at(1).value<QSRange>();
    QCOMPARE(range.location, quint32(file->content().indexOf("needle")));
    QCOMPARE(range.length, 6u);

    find.hideFindAndReplace();
    QCOMPARE(hidden.size(), 1);
}

void TestPaneSignals::smartDropSheetAsksForANewSnippet()
{
    const TestFolder settings;
    SmartDrop::sharedSmartDrop()->setSmartDrops({});
    DropTextView view;
    view.resize(400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy asked(&view, &DropTextView::newSmartDropRequested);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QStringLiteral("/figures/plot.svg"))});
    const QPoint at(10, 10);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &enter);
    QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &dropped);
    auto *sheet = view.findChild<QDialog *>(QStringLiteral("SmartDropNoDropExist"));
    QVERIFY(sheet);
    sheet->findChild<QPushButton *>(QStringLiteral("createNewSmartDropButton"))->click();
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.at(0).at(0).toString(), QStringLiteral("svg"));
    QCOMPARE(SmartDrop::sharedSmartDrop()->smartDropForFileWithPath("/x/y.svg").value_or("-"),
             QStringLiteral("tmpSmartDrop"));
}

QTEST_MAIN(TestPaneSignals)
#include "tst_panesignals.moc"
