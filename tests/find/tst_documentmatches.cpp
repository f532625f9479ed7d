#include "app/AppFixture.h"
#include "app/OutlineViewDataSource.h"
#include "find/DocumentMatchesList.h"
#include "find/FindAndReplaceOutlineViewDataSource.h"
#include "find/FindAndReplaceViewController.h"
#include "model/TextStorageDelegate.h"
#include "platform/Theme.h"

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTextBlock>
#include <QToolButton>
#include <QTreeView>

using Results = FindAndReplaceOutlineViewDataSource;

// "All in Document" in a real window, on a document of four files in two folders
// (tests/data/find/two-studies): both studies have a start.tex whose section is
// called Introduction.
class TestDocumentMatches : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void listsEveryMatchByFile_data();
    void listsEveryMatchByFile();
    void choosingARowSelectsItsMatch_data();
    void choosingARowSelectsItsMatch();
    void listFollowsReplaceAllAndTyping();
    void largeDocumentIsListedFromTheWorker();
    void matchesAreMarkedInBothThemes_data();
    void matchesAreMarkedInBothThemes();

private:
    void list(const QString &key, const QString &options = {});
    // Each file row as "name:line,line,...".
    QStringList listing() const;
    QModelIndex row(int file, int match = -1) const;

    std::unique_ptr<AppFixture> _fixture;
    MyDocument *_document = nullptr;
    FindAndReplaceViewController *_strip = nullptr;
};

void TestDocumentMatches::init()
{
    _fixture = std::make_unique<AppFixture>();
    _fixture->folder.copyData("find/two-studies");
    _document = _fixture->open(_fixture->folder.path("main.tex"));
    QVERIFY(_document);
    QVERIFY(QTest::qWaitForWindowActive(_document->window()));
    _strip = _document->findAndReplaceViewController();
    _strip->showFindAndReplace();
    QTRY_VERIFY(_strip->isShown());
}

void TestDocumentMatches::cleanup()
{
    Theme::setCurrent(Theme::light());
    _fixture.reset();
}

void TestDocumentMatches::list(const QString &key, const QString &options)
{
    _strip->setIsPerformingSearch(true);
    _strip->matchCaseOption()->setChecked(options.contains(u'c'));
    _strip->wholeWordsOption()->setChecked(options.contains(u'w'));
    _strip->regularExpressionOption()->setChecked(options.contains(u'r'));
    _strip->findTextField()->setText(key);
    _strip->setIsPerformingSearch(false);
    _strip->searchFileForString();
}

QStringList TestDocumentMatches::listing() const
{
    QStringList files;
    const QAbstractItemModel *results = _strip->dataSourceForOutlineView();
    for (int file = 0; file < results->rowCount(); ++file) {
        const QModelIndex fileRow = results->index(file, 0);
        QStringList lines;
        for (int match = 0; match < results->rowCount(fileRow); ++match)
            lines << results->index(match, 0, fileRow).data(Results::LineNumberRole).toString();
        files << fileRow.data().toString() + u':' + lines.join(u',');
    }
    return files;
}

QModelIndex TestDocumentMatches::row(int file, int match) const
{
    const QAbstractItemModel *results = _strip->dataSourceForOutlineView();
    const QModelIndex fileRow = results->index(file, 0);
    return match < 0 ? fileRow : results->index(match, 0, fileRow);
}

void TestDocumentMatches::listsEveryMatchByFile_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("options");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("summary");
    QTest::newRow("any case") << "introduction"
                              << ""
                              << QStringList{"main.tex (2):3,4", "field/start.tex (2):1,3",
                                             "lab/start.tex (3):1,2,3"}
                              << "7 matches in 3 files";
    QTest::newRow("match case") << "Introduction"
                                << "c"
                                << QStringList{"field/start.tex (1):1",
                                               "lab/start.tex (2):1,2"}
                                << "3 matches in 2 files";
    QTest::newRow("whole words") << "introduction"
                                 << "w"
                                 << QStringList{"main.tex (2):3,4",
                                                "field/start.tex (2):1,3",
                                                "lab/start.tex (2):1,2"}
                                 << "6 matches in 3 files";
    QTest::newRow("expression") << "intro\\w*s\\b|tide\\b"
                                << "r"
                                << QStringList{"lab/start.tex (1):3", "closing.tex (1):2"}
                                << "2 matches in 2 files";
    QTest::newRow("nowhere") << "zebra"
                             << "" << QStringList() << "Not found";
    QTest::newRow("no expression") << "(intro"
                                   << "r" << QStringList() << "Invalid";
}

// Every match is listed under its file, the files in the document's order and named
// from the root's folder, with the line and its text; the strip counts them. Files
// the window does not show are searched too, and the options hold.
void TestDocumentMatches::listsEveryMatchByFile()
{
    QFETCH(QString, key);
    QFETCH(QString, options);
    QFETCH(QStringList, files);
    QFETCH(QString, summary);
    QAbstractItemModelTester tester(_strip->dataSourceForOutlineView());
    list(key, options);
    QTreeView *outline = _document->outlineView();
    QCOMPARE(outline->model(), _strip->dataSourceForOutlineView());
    QCOMPARE(listing(), files);
    QVERIFY2(_strip->resultLabel()->text().startsWith(summary),
             qPrintable(_strip->resultLabel()->text()));

    // Each match row shows its line with the match marked in it, the lines' indents
    // left out; the rows are open under their files.
    const SearchPattern pattern = _strip->searchPattern();
    for (int file = 0; file < files.size(); ++file) {
        QVERIFY(outline->isExpanded(row(file)));
        for (int match = 0; match < outline->model()->rowCount(row(file)); ++match) {
            const QModelIndex index = row(file, match);
            const QString line = index.data(Results::LineTextRole).toString();
            QCOMPARE(index.data().toString(),
                     index.data(Results::LineNumberRole).toString() + ": " + line);
            QVERIFY(!line.startsWith(u' ') && !line.startsWith(u'\t'));
            const QString marked = line.mid(index.data(Results::MarkStartRole).toInt(),
                                            index.data(Results::MarkLengthRole).toInt());
            QCOMPARE(pattern.find(marked), (QSRange{0, quint32(marked.size())}));
        }
    }
    if (key == "intro\\w*s\\b|tide\\b")
        QCOMPARE(row(0, 0).data().toString(), "3: Pools hold water; introductions are short.");
}

void TestDocumentMatches::choosingARowSelectsItsMatch_data()
{
    QTest::addColumn<int>("file");
    QTest::addColumn<int>("match");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("selected");
    QTest::newRow("root, second") << 0 << 1 << "main.tex" << 4 << "introduction";
    QTest::newRow("field study") << 1 << 1 << "field/start.tex" << 3 << "introduction";
    QTest::newRow("lab study, its comment")
        << 2 << 1 << "lab/start.tex" << 2 << "Introduction";
    QTest::newRow("file row: its first")
        << 2 << -1 << "lab/start.tex" << 1 << "Introduction";
}

// A row clicked in the outline selects its own match in its own file, not the first
// of its section, and not the same line of the other introduction.tex.
void TestDocumentMatches::choosingARowSelectsItsMatch()
{
    QFETCH(int, file);
    QFETCH(int, match);
    QFETCH(QString, shown);
    QFETCH(int, line);
    QFETCH(QString, selected);
    list("introduction");
    QTreeView *outline = _document->outlineView();
    const QModelIndex index = row(file, match);
    outline->scrollTo(index);
    QTest::mouseClick(outline->viewport(), Qt::LeftButton, {}, outline->visualRect(index).center());
    QVERIFY(_document->textStorageDelegate()->selectedFile()->pathText().endsWith(shown));
    QSTextView *text = _document->textView();
    const QTextCursor cursor = text->textCursor();
    QCOMPARE(cursor.selectedText(), selected);
    QCOMPARE(text->document()->findBlock(cursor.selectionStart()).blockNumber() + 1, line);
}

// After Replace All the rows show the lines as they are now, and text typed into a
// file (one the window did not show at first) gets its row once the user pauses, as
// does a change of the find text; hiding the strip ends the list.
void TestDocumentMatches::listFollowsReplaceAllAndTyping()
{
    list("salt water");
    QCOMPARE(row(0, 0).data().toString(), "3: The introduction of salt water is slow.");
    _strip->replaceTextField()->setText("salt water and sand");
    _strip->replaceAll();
    AppFixture::clickButton(AppFixture::shownDialog<QMessageBox>(_document->window()), "Replace");
    QCOMPARE(listing(), QStringList{"field/start.tex (1):3"});
    QCOMPARE(row(0, 0).data().toString(), "3: The introduction of salt water and sand is slow.");

    // Chosen, the row shows its file, where the user types another match.
    QTreeView *outline = _document->outlineView();
    outline->selectionModel()->select(row(0, 0), QItemSelectionModel::ClearAndSelect);
    QVERIFY(_document->textStorageDelegate()->selectedFile()->pathText().endsWith(
        "field/start.tex"));
    AppFixture::typeBefore(_document->textView(), "Tides", "More salt water. ");
    QTRY_COMPARE(listing(), QStringList{"field/start.tex (2):2,3"});
    QCOMPARE(row(0, 0).data().toString(), "2: More salt water. Tides rise twice a day.");
    QCOMPARE(_strip->resultLabel()->text(), "2 matches in 1 file");

    // The list follows the find text too.
    _strip->findTextField()->setText("salt water and");
    QTRY_COMPARE(listing(), QStringList{"field/start.tex (1):3"});

    _strip->hideFindAndReplace();
    QCOMPARE(outline->model(), _document->outlineViewDataSource());
    QCOMPARE(_strip->dataSourceForOutlineView()->rowCount(), 0);
    QVERIFY(!_strip->documentMatchesList()->isListing());
}

// A document too large to search between two keystrokes is searched on the worker:
// the list comes, complete, a moment later, and follows typing the same way.
void TestDocumentMatches::largeDocumentIsListedFromTheWorker()
{
    QString large;
    for (int line = 1; large.size() <= DocumentMatchesList::searchOnUiThreadUpTo; ++line)
        large += line % 1000 == 0 ? QStringLiteral("A needle in line %1.\n").arg(line)
                                  : QStringLiteral("Hay, line %1 of the stack.\n").arg(line);
    QSTextView *text = _document->textView();
    QTextCursor end(text->document());
    end.movePosition(QTextCursor::End);
    end.insertText(large);
    AppFixture::settle();
    const int lines = text->document()->blockCount();
    list("needle");
    DocumentMatchesList *matches = _strip->documentMatchesList();
    QTRY_VERIFY(!matches->isSearching());
    const QStringList listed = listing();
    QCOMPARE(listed.size(), 1);
    QVERIFY(listed[0].startsWith("main.tex ("));
    QCOMPARE(row(0, 0).data().toString(), "1006: A needle in line 1000.");
    QCOMPARE(
        _strip->resultLabel()->text(),
        QStringLiteral("%1 matches in 1 file").arg(row(0).data(Results::MatchCountRole).toInt()));

    text->moveCursor(QTextCursor::End);
    AppFixture::type(text, "needle");
    QTRY_COMPARE(row(0, row(0).model()->rowCount(row(0)) - 1).data(Results::LineNumberRole).toInt(),
                 lines);
}

void TestDocumentMatches::matchesAreMarkedInBothThemes_data()
{
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

// The match in a row is painted on the theme's find colour; the file rows keep the
// outline's own look, which comes back whole when the strip hides.
void TestDocumentMatches::matchesAreMarkedInBothThemes()
{
    QFETCH(bool, dark);
    Theme::setCurrent(dark ? Theme::dark() : Theme::light());
    QTreeView *outline = _document->outlineView();
    QAbstractItemDelegate *own = outline->itemDelegate();
    list("salt");
    const auto painted = [outline](const QModelIndex &index) {
        const QImage image = outline->viewport()->grab(outline->visualRect(index)).toImage();
        int marked = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                marked += image.pixelColor(x, y) == Theme::current().findIndicator;
        return marked;
    };
    QVERIFY(painted(row(0, 0)) > 20);
    QCOMPARE(painted(row(0)), 0);
    _strip->hideFindAndReplace();
    QCOMPARE(outline->itemDelegate(), own);
}

QUILLSET_TEST_MAIN(TestDocumentMatches)
#include "tst_documentmatches.moc"
