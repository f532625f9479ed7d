// Word counts in a real window on the example thesis: the status label, the
// outline rows' tooltips and the selection follow what is typed, counted off the
// UI thread.
#include "AppFixture.h"
#include "app/OutlineViewDataSource.h"
#include "editor/wordcount/WordCountLabel.h"
#include "editor/wordcount/WordCounts.h"
#include "model/TextStorageDelegate.h"

#include <QMainWindow>
#include <QStatusBar>
#include <QTest>

class TestWordCount : public QObject
{
    Q_OBJECT

private slots:
    void countsFollowTypingInTheWindow();
};

namespace {

struct Wired
{
    WordCounts *counts;
    WordCountLabel *label;
};

// The window's counts and their label in its status bar.
Wired wire(MyDocument *document)
{
    auto *label = document->window()->findChild<WordCountLabel *>(QStringLiteral("wordCount"));
    auto *counts = document->findChild<WordCounts *>();
    if (!label || !counts)
        qFatal("the window has no word counts");
    return {counts, label};
}

void settle(WordCounts *counts)
{
    AppFixture::settle();
    counts->waitUntilIdle();
    QCoreApplication::processEvents();
}

QModelIndex rowNamed(const QAbstractItemModel *model, const QString &name,
                     const QModelIndex &parent = {})
{
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        if (index.data().toString() == name)
            return index;
        if (const QModelIndex found = rowNamed(model, name, index); found.isValid())
            return found;
    }
    return {};
}

} // namespace

void TestWordCount::countsFollowTypingInTheWindow()
{
    AppFixture fixture;
    MyDocument *thesis = fixture.openExample();
    QVERIFY(thesis);
    const auto [counts, label] = wire(thesis);
    settle(counts);
    const OutlineViewDataSource *outline = thesis->outlineViewDataSource();
    const int document = counts->results().document;
    QVERIFY(document > 100);
    QCOMPARE(label->text(), WordCountLabel::words(document));
    const QModelIndex sampling = rowNamed(outline, "Sampling");
    const QModelIndex modelSection = rowNamed(outline, "Model");
    QVERIFY(sampling.isValid() && modelSection.isValid());
    // Sampling: its sentence, and its subsections' titles and sentences.
    const int samplingWords = 1 + 11 + 1 + 12 + 1 + 9;
    QCOMPARE(sampling.data(OutlineViewDataSource::WordCountRole).toInt(), samplingWords);
    QVERIFY(
        sampling.data(Qt::ToolTipRole).toString().endsWith(WordCountLabel::words(samplingWords)));
    const int modelWords = modelSection.data(OutlineViewDataSource::WordCountRole).toInt();

    // Three words typed under Sampling, one keystroke at a time, in methods.tex.
    const std::shared_ptr<QSFile> methods = AppFixture::fileNamed(thesis, "methods.tex");
    thesis->selectRange({0, 0}, methods);
    AppFixture::typeBefore(thesis->textView(), "Twelve pools", "Some 40 new ");
    settle(counts);
    QCOMPARE(counts->results().document, document + 3);
    QCOMPARE(label->text(), WordCountLabel::words(document + 3));
    QVERIFY(label->toolTip().contains("methods.tex"));
    QCOMPARE(sampling.data(OutlineViewDataSource::WordCountRole).toInt(), samplingWords + 3);
    QCOMPARE(modelSection.data(OutlineViewDataSource::WordCountRole).toInt(), modelWords);

    // Math typed is no word; a selection shows its words before the document's.
    AppFixture::typeBefore(thesis->textView(), "Twelve pools", "$x + y$ ");
    settle(counts);
    QCOMPARE(counts->results().document, document + 3);
    QTextCursor cursor = thesis->textView()->document()->find("Twelve pools were");
    thesis->textView()->setTextCursor(cursor);
    settle(counts);
    QCOMPARE(counts->results().selection, 3);
    QCOMPARE(label->text(), "3 / " + WordCountLabel::words(document + 3));
    cursor.clearSelection();
    thesis->textView()->setTextCursor(cursor);
    settle(counts);
    QCOMPARE(label->text(), WordCountLabel::words(document + 3));
}

QTEST_MAIN(TestWordCount)
#include "tst_wordcount.moc"
