// A document whose chapter in a sub-folder includes a table by its path from the
// root's folder, as TeX reads it: the table is part of the document everywhere.
#include "AppFixture.h"
#include "compile/ErrorOutlineDataSource.h"
#include "model/ErrorWarningNode.h"
#include "model/TextStorageDelegate.h"
#include "pdf/QSPDFView.h"
#include "pdf/QSPDFViewController.h"

#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QScrollBar>
#include <QTextBlock>
#include <QTreeView>

class TestSubfolderDocument : public QObject
{
    Q_OBJECT

private slots:
    void tableInASubFolderIsPartOfTheDocument();
};

void TestSubfolderDocument::tableInASubFolderIsPartOfTheDocument()
{
    AppFixture fixture;
    fixture.copyData(QStringLiteral("subfolder"));
    MyDocument *document = fixture.open(fixture.folder.path("main.tex"));
    const std::shared_ptr<QSFile> table = AppFixture::fileNamed(document, "table1.tex");
    QVERIFY(table);
    QCOMPARE(table->pathText(), fixture.folder.path("chapters/figures/table1.tex"));

    // Its error is shown on its line, and choosing it shows the table.
    QVERIFY(AppFixture::compile(document));
    ErrorOutlineDataSource *errors = document->consoleViewController()->errorOutlineDataSource();
    QCOMPARE(errors->rowCount(), 1);
    QCOMPARE(errors->index(0, 0).data().toString(), QStringLiteral("table1.tex"));
    const QModelIndex errorRow = errors->index(0, 0, errors->index(0, 0));
    QCOMPARE(errors->diagnosticForIndex(errorRow)->lineNumber, 3);
    document->consoleViewController()->errorWarningOutline()->selectionModel()->select(
        errorRow, QItemSelectionModel::ClearAndSelect);
    QCOMPARE(document->textStorageDelegate()->selectedFile(), table);

    // Mended, the document compiles cleanly, and Ctrl-clicks find the table's pages.
    QSTextView *text = document->textView();
    QTextCursor macro = text->document()->find(QStringLiteral(" \\undefinedmacro"));
    QVERIFY(!macro.isNull());
    macro.removeSelectedText();
    AppFixture::settle();
    QVERIFY(AppFixture::compile(document));
    QCOMPARE(errors->rowCount(), 0);
    QSPDFView *view = document->pdfViewController()->pdfView();
    QCOMPARE(view->document()->pageCount(), 3);
    const struct
    {
        const char *file;
        int line, page;
    } lines[] = {{"table1.tex", 1, 2},  {"table1.tex", 3, 3}, {"results.tex", 2, 2},
                 {"results.tex", 6, 3}, {"main.tex", 4, 1},   {"main.tex", 8, 3}};
    for (const auto &line : lines) {
        const std::shared_ptr<QSFile> file = AppFixture::fileNamed(document, line.file);
        document->selectRange(QSRange{0, 0}, file);
        const QTextBlock block = text->document()->findBlockByNumber(line.line - 1);
        document->selectRange(QSRange{quint32(block.position()), 0}, file);
        view->pageNavigator()->jump(0, {});
        QTest::mouseClick(text->viewport(), Qt::LeftButton, Qt::ControlModifier, QPoint(5, 5));
        QVERIFY2(view->pageNavigator()->currentPage() + 1 == line.page,
                 qPrintable(QStringLiteral("%1:%2").arg(line.file).arg(line.line)));
    }

    // The table's last line, as the sync data places it on the third page, takes
    // the Ctrl-click in the PDF back to the table.
    const double perPoint = 65536.0 * 72.27 / 72.0;
    view->showPage(2);
    const QSizeF points = view->document()->pagePointSize(2);
    const QRect page = view->pageGeometry(2);
    const QPointF onPage(8799518 / perPoint * page.width() / points.width(),
                         (points.height() - 46515936 / perPoint) * page.height() / points.height());
    const QPoint scrolled(view->horizontalScrollBar()->value(), view->verticalScrollBar()->value());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      (page.topLeft() + onPage).toPoint() - scrolled);
    QCOMPARE(document->textStorageDelegate()->selectedFile(), table);
    QCOMPARE(text->textCursor().selectedText(), QStringLiteral("The table, on the third page."));
}

QTEST_MAIN(TestSubfolderDocument)
#include "tst_subfolderdocument.moc"
