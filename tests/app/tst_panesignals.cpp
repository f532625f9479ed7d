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
#include <QPdfDocument>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QTreeView>

class TestPaneSignals : public QObject
{
    Q_OBJECT

private slots:
    void console();
    void pdfPane();
    void findStrip();
    void smartDropSheet();

private:
    // Keeps the tests' settings away from the user's.
    const TestFolder _settings;
};

// Opens, closes; a compile ends well with a warning whose row is then chosen; a
// failed engine is no success.
void TestPaneSignals::console()
{
    QSFilePool pool;
    const std::shared_ptr<QSFile> file = pool.createFileFromTemplateString("one\ntwo\n", "a");
    ConsoleViewController console;
    QSignalSpy shown(&console, &ConsoleViewController::shownChanged);
    QSignalSpy succeeded(&console, &ConsoleViewController::compileSucceeded);
    QSignalSpy chosen(&console, &ConsoleViewController::diagnosticChosen);
    console.animatedExpansionToHeight(ConsoleViewController::openHeight);
    console.hideWithoutAnimation();
    QCOMPARE(shown, (QList<QVariantList>{{true}, {false}}));

    auto warning = std::make_shared<ErrorWarningNode>();
    warning->file = file;
    warning->lineNumber = 2;
    console.logParser()->takeResult({{file, {warning}}}, true);
    QTreeView *tree = console.errorWarningOutline();
    tree->selectionModel()->select(tree->model()->index(0, 0, tree->model()->index(0, 0)),
                                   QItemSelectionModel::ClearAndSelect);
    console.logParser()->takeResult({{file, {warning}}}, false);
    QCOMPARE(succeeded.size(), 1);
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(chosen[0][0].value<std::shared_ptr<QSFile>>(), file);
    QCOMPARE(chosen[0][1].toInt(), 2);
}

// Opens, closes; a Ctrl-click names the page and the point on it, a plain click
// nothing.
void TestPaneSignals::pdfPane()
{
    QSplitter split;
    split.addWidget(new QWidget);
    split.addWidget(new QWidget);
    QSPDFViewController pdf;
    pdf.view()->setParent(split.widget(1));
    split.resize(800, 600);
    split.show();
    QVERIFY(QTest::qWaitForWindowExposed(&split));
    QVERIFY(pdf.setFilePath(dataPath("panes/one-page.pdf")));
    QSignalSpy shown(&pdf, &QSPDFViewController::shownChanged);
    pdf.hidePDFViewWithAnimation(false);
    pdf.showPDFViewWithAnimation(false);
    QCOMPARE(shown, (QList<QVariantList>{{false}, {true}}));

    QSPDFView *view = pdf.pdfView();
    pdf.view()->resize(split.widget(1)->size());
    QTRY_VERIFY(view->pageGeometry(0).width() > 10);
    QSignalSpy clicked(view, &QSPDFView::syncPointClicked);
    const QPoint centre =
        view->pageGeometry(0).center()
        - QPoint(view->horizontalScrollBar()->value(), view->verticalScrollBar()->value());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, centre);
    QCOMPARE(clicked.size(), 1);
    QCOMPARE(clicked[0][0].toInt(), 1);
    const QPointF point = clicked[0][1].toPointF() * 2;
    const QSizeF page = view->document()->pagePointSize(0);
    QVERIFY(qAbs(point.x() - page.width()) < page.width() / 10);
    QVERIFY(qAbs(point.y() - page.height()) < page.height() / 10);
}

// The sections that hold the text go to the outline, a chosen one gives its file
// and the occurrence, and hiding the strip gives the outline back.
void TestPaneSignals::findStrip()
{
    QSFilePool pool;
    ChangesQueue queue;
    const std::shared_ptr<QSFile> file =
        pool.createFileFromTemplateString("intro\n\\section{A}\nthe needle\n", "Untitled");
    QSTextView text;
    TextStorageDelegate delegate(&text);
    delegate.setSelectedFile(file);
    QTreeView outline;
    QWidget strip;
    FindAndReplaceViewController find(&text, &delegate, &outline, [file] { return file; });
    find.view()->setParent(&strip);
    connect(&find, &FindAndReplaceViewController::resultsShown, &outline, &QTreeView::setModel);
    QSignalSpy hidden(&find, &FindAndReplaceViewController::resultsHidden);
    QSignalSpy chosen(&find, &FindAndReplaceViewController::resultChosen);
    find.showFindAndReplace();
    find.findTextField()->setText("NEEDLE");
    find.searchFileForString();
    QCOMPARE(outline.model()->rowCount(), 1);
    outline.selectionModel()->select(outline.model()->index(0, 0),
                                     QItemSelectionModel::ClearAndSelect);
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(chosen[0][0].value<std::shared_ptr<QSFile>>(), file);
    QCOMPARE(chosen[0][1].value<QSRange>(),
             (QSRange{quint32(file->content().indexOf("needle")), 6}));
    find.hideFindAndReplace();
    QCOMPARE(hidden.size(), 1);
}

// A dropped file of a type without a snippet: asking for a new one names the type.
void TestPaneSignals::smartDropSheet()
{
    SmartDrop::sharedSmartDrop()->setSmartDrops({});
    DropTextView view;
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy asked(&view, &DropTextView::newSmartDropRequested);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/figures/plot.svg")});
    QDragEnterEvent enter({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &enter);
    QDropEvent dropped({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &dropped);
    auto *sheet = view.findChild<QDialog *>("SmartDropNoDropExist");
    QVERIFY(sheet);
    sheet->findChild<QPushButton *>("createNewSmartDropButton")->click();
    QCOMPARE(asked, (QList<QVariantList>{{QStringLiteral("svg")}}));
}

QUILLSET_TEST_MAIN(TestPaneSignals)
#include "tst_panesignals.moc"
