#include "AppFixture.h"
#include "app/ThemeController.h"
#include "compile/StatusView.h"
#include "find/FindAndReplaceViewBackground.h"
#include "find/FindAndReplaceViewController.h"
#include "pdf/QSPDFView.h"
#include "pdf/QSPDFViewController.h"

#include <QAccessible>
#include <QLineEdit>
#include <QMainWindow>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTextBlock>
#include <QToolBar>

namespace {

// Every interface under the window's, depth first.
QList<QAccessibleInterface *> accessibilityTree(QWidget *window)
{
    QList<QAccessibleInterface *> all{QAccessible::queryAccessibleInterface(window)};
    for (qsizetype next = 0; next < all.size(); ++next)
        for (int child = 0; child < all[next]->childCount(); ++child)
            if (QAccessibleInterface *found = all[next]->child(child))
                all << found;
    return all;
}

// The part of the widget that the window shows: its rectangle, clipped by each of its
// parents', in the window's coordinates. Empty for a widget slid out of its parent.
QRect shownRect(const QWidget *widget)
{
    if (!widget->isVisible())
        return {};
    const QWidget *window = widget->window();
    QRect shown(widget->mapTo(window, QPoint(0, 0)), widget->size());
    for (const QWidget *parent = widget; parent != window;) {
        parent = parent->parentWidget();
        shown &= QRect(parent->mapTo(window, QPoint(0, 0)), parent->size());
    }
    return shown;
}

QString describe(QAccessibleInterface *interface)
{
    const QObject *object = interface->object();
    return QStringLiteral("%1 \"%2\" (role %3)")
        .arg(object ? object->metaObject()->className() : "item",
             object ? object->objectName() : interface->text(QAccessible::Name))
        .arg(int(interface->role()));
}

// What a screen reader would get wrong in the window: controls without a name, and
// interfaces of widgets that cannot be seen which say they show.
QStringList accessibilityFaults(QWidget *window)
{
    QStringList faults;
    for (QAccessibleInterface *interface : accessibilityTree(window)) {
        const QAccessible::State state = interface->state();
        if ((state.focusable || state.editable) && interface->text(QAccessible::Name).isEmpty())
            faults << "no name: " + describe(interface);
        auto *widget = qobject_cast<QWidget *>(interface->object());
        if (widget && !widget->isWindow() && shownRect(widget).isEmpty() && !state.invisible)
            faults << "hidden but not invisible: " + describe(interface);
    }
    return faults;
}

// The pixels a widget paints itself: its shown part less its visible children's.
QRegion ownPixels(QWidget *widget)
{
    QRegion own(shownRect(widget));
    for (QWidget *child : widget->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (child->isVisible() && !child->isWindow())
            own -= shownRect(child);
    return own;
}

// The dividers, frames and panes that paint nothing but a background, where the
// window's colours show: splitters and their handles, bars, plain containers, the
// console area and the find strip, and the PDF pane's view while it shows no PDF.
bool paintsOnlyBackground(QWidget *widget)
{
    if (qobject_cast<QSplitter *>(widget) || qobject_cast<QSplitterHandle *>(widget)
        || qobject_cast<QToolBar *>(widget) || qobject_cast<QStatusBar *>(widget)
        || qobject_cast<QMainWindow *>(widget) || qobject_cast<StatusView *>(widget)
        || qobject_cast<FindAndReplaceViewBackground *>(widget))
        return true;
    if (auto *pdf = qobject_cast<QSPDFView *>(widget->parentWidget()))
        return widget == pdf->viewport() && !pdf->document();
    return widget->metaObject() == &QWidget::staticMetaObject
           && !qobject_cast<QAbstractScrollArea *>(widget->parentWidget());
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { _desktopPalette = QApplication::palette(); }
    void init() { _fixture = std::make_unique<AppFixture>(); }
    // The next test's program starts on the desktop's colours again.
    void cleanup()
    {
        _fixture.reset();
        QApplication::setPalette(_desktopPalette);
    }
    void everyControlNamedAndHiddenOnesInvisible_data();
    void everyControlNamedAndHiddenOnesInvisible();
    void charactersAndCaretLieOnTheirLines();
    void dividersAndEmptyPanesFollowTheTheme_data();
    void dividersAndEmptyPanesFollowTheTheme();

private:
    // Opens the find strip, the console and the PDF pane, or closes them, and waits
    // until they have slid to where they go.
    static void setPanesOpen(MyDocument *document, bool open);

    std::unique_ptr<AppFixture> _fixture;
    QPalette _desktopPalette;
};

void TestAccessibility::setPanesOpen(MyDocument *document, bool open)
{
    FindAndReplaceViewController *find = document->findAndReplaceViewController();
    if (open) {
        document->showFindAndReplace();
        document->showConsoleView();
        document->showPDFView();
    } else {
        document->hideFindAndReplace();
        document->hideConsoleView();
        document->hidePDFView();
    }
    QTRY_COMPARE(find->view()->parentWidget()->height() > 0, open);
    QTRY_COMPARE(document->consoleViewController()->view()->parentWidget()->height(),
                 open ? ConsoleViewController::openHeight : 1);
    QTRY_COMPARE(document->pdfViewController()->view()->parentWidget()->width() > 1, open);
    QTest::qWait(2 * FindAndReplaceViewController::slideMilliseconds);
}

void TestAccessibility::everyControlNamedAndHiddenOnesInvisible_data()
{
    QTest::addColumn<bool>("withPdf");
    QTest::addColumn<QList<bool>>("panesOpen");
    QTest::newRow("as opened") << false << QList<bool>{};
    QTest::newRow("panes open, a PDF shown") << true << QList<bool>{true};
    QTest::newRow("panes closed again") << true << QList<bool>{true, false};
}

void TestAccessibility::everyControlNamedAndHiddenOnesInvisible()
{
    QFETCH(bool, withPdf);
    QFETCH(QList<bool>, panesOpen);
    MyDocument *document = _fixture->openExample();
    QVERIFY(document);
    QWidget *window = document->window();
    if (withPdf)
        QVERIFY(document->pdfViewController()->setFilePath(dataPath("panes/one-page.pdf")));
    for (const bool open : panesOpen) {
        setPanesOpen(document, open);
        if (QTest::currentTestFailed())
            return;
    }

    // The panes and fields go by plain names.
    QStringList names;
    for (QAccessibleInterface *interface : accessibilityTree(window))
        names << interface->text(QAccessible::Name);
    for (const char *name : {"Text", "Outline", "Find", "Replace with", "Page", "PDF",
                             "Console output", "Errors and warnings"})
        QVERIFY2(names.contains(name), name);

    // A find strip slid away is no longer over the toolbar, for a reader either.
    FindAndReplaceViewController *find = document->findAndReplaceViewController();
    const bool findShown = !panesOpen.isEmpty() && panesOpen.last();
    QCOMPARE(find->isShown(), findShown);
    const QToolBar *toolbar = window->findChild<QToolBar *>();
    const QRect toolbarOnScreen(toolbar->mapToGlobal(QPoint(0, 0)), toolbar->size());
    for (QLineEdit *field : {find->findTextField(), find->replaceTextField()}) {
        QAccessibleInterface *interface = QAccessible::queryAccessibleInterface(field);
        QCOMPARE(bool(interface->state().invisible), !findShown);
        QVERIFY(!interface->rect().intersects(toolbarOnScreen));
    }

    const QStringList faults = accessibilityFaults(window);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
}

void TestAccessibility::charactersAndCaretLieOnTheirLines()
{
    MyDocument *document = _fixture->openExample();
    QVERIFY(document);
    QSTextView *view = document->textView();
    QAccessibleInterface *interface = QAccessible::queryAccessibleInterface(view);
    QAccessibleTextInterface *text = interface->textInterface();
    QVERIFY(text && interface->editableTextInterface());
    QCOMPARE(text->characterCount(), view->document()->characterCount() - 1);
    const QRect viewportOnScreen(view->viewport()->mapToGlobal(QPoint(0, 0)),
                                 view->viewport()->size());
    // Where the view itself would put the caret before the character, on the screen.
    const auto caretAt = [view](int offset) {
        QTextCursor at(view->document());
        at.setPosition(offset);
        return view->cursorRect(at).translated(view->viewport()->mapToGlobal(QPoint(0, 0)));
    };

    // The characters of consecutive lines lie each on its own line, one below the
    // other, after scrolling too; each character's middle gives the character back.
    for (const int scrolledLines : {0, 8}) {
        view->verticalScrollBar()->setValue(scrolledLines);
        int lineTop = std::numeric_limits<int>::min();
        const QTextBlock first = view->cursorForPosition(QPoint(0, 0)).block();
        QCOMPARE(first.blockNumber() > 0, scrolledLines > 0);
        for (QTextBlock line = first; line.blockNumber() < first.blockNumber() + 5;
             line = line.next()) {
            const int offset = line.position() + qMin(3, line.length() - 1);
            const QRect character = text->characterRect(offset);
            const QRect caret = caretAt(offset);
            QVERIFY2(viewportOnScreen.contains(character), qPrintable(line.text()));
            QVERIFY2(character.center().y() > caret.top() && character.center().y() < caret.bottom()
                         && qAbs(character.left() - caret.left()) <= 1,
                     qPrintable(line.text()));
            QVERIFY2(character.top() > lineTop, qPrintable(line.text()));
            lineTop = character.top();
            if (line.length() > 1)
                QCOMPARE(text->offsetAtPoint(character.center()), offset);
        }
    }

    // The caret a reader puts is the view's, and it is found on its line.
    const QTextBlock third = view->document()->findBlockByNumber(2);
    text->setCursorPosition(third.position() + 2);
    QCOMPARE(view->textCursor().position(), third.position() + 2);
    QCOMPARE(text->cursorPosition(), third.position() + 2);
    QCOMPARE(text->characterRect(text->cursorPosition()).top(),
             view->cursorRect().top() + viewportOnScreen.top());

    // Edits from a reader reach the file as typing does; these push the rest of the
    // text out of view.
    const QString comments = QStringLiteral("%read\n").repeated(30);
    interface->editableTextInterface()->insertText(third.position(), comments);
    AppFixture::settle();
    QVERIFY(AppFixture::fileNamed(document, "thesis.tex")->content().contains(comments));
    QCOMPARE(text->text(third.position(), third.position() + 6), QStringLiteral("%read\n"));

    // A paragraph wrapped over several lines, scrolled into view, places its
    // characters on each of them; the caret stays where it was.
    view->verticalScrollBar()->setValue(0);
    QTextBlock wrapped = view->document()->firstBlock();
    while (wrapped.isValid() && wrapped.layout()->lineCount() < 2)
        wrapped = wrapped.next();
    QVERIFY(wrapped.isValid());
    QVERIFY(!viewportOnScreen.contains(text->characterRect(wrapped.position())));
    const int caret = text->cursorPosition();
    text->scrollToSubstring(wrapped.position(), wrapped.position() + 1);
    QCOMPARE(text->cursorPosition(), caret);
    const int secondLine = wrapped.position() + wrapped.layout()->lineAt(1).textStart();
    QVERIFY(viewportOnScreen.contains(text->characterRect(secondLine)));
    QCOMPARE(text->characterRect(secondLine).top(),
             text->characterRect(wrapped.position()).bottom() + 1);
}

void TestAccessibility::dividersAndEmptyPanesFollowTheTheme_data()
{
    QTest::addColumn<QString>("theme");
    QTest::addColumn<bool>("panesOpen");
    QTest::newRow("dark, panes closed") << "Dark" << false;
    QTest::newRow("dark, panes open") << "Dark" << true;
    QTest::newRow("light, panes closed") << "Light" << false;
    QTest::newRow("light, panes open") << "Light" << true;
}

// The window opens in the other theme and is switched, as from the preferences.
void TestAccessibility::dividersAndEmptyPanesFollowTheTheme()
{
    QFETCH(QString, theme);
    QFETCH(bool, panesOpen);
    const bool dark = theme == "Dark";
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setObject(QString(dark ? "Light" : "Dark"), QSColorTheme);
    _fixture->app.themeController()->apply();
    MyDocument *document = _fixture->openExample();
    QVERIFY(document);
    defaults.setObject(theme, QSColorTheme);
    _fixture->app.themeController()->apply();
    QCoreApplication::processEvents();
    if (panesOpen)
        setPanesOpen(document, true);
    if (QTest::currentTestFailed())
        return;

    QWidget *window = document->window();
    const QImage shot = window->grab().toImage();
    QStringList faults;
    int checked = 0;
    bool consoleDividerChecked = false;
    QList<QWidget *> widgets = window->findChildren<QWidget *>();
    widgets << window;
    for (QWidget *widget : widgets) {
        if (!widget->isVisible() || !paintsOnlyBackground(widget))
            continue;
        const QRegion own = ownPixels(widget);
        int wrong = 0;
        QColor example;
        for (const QRect &part : own)
            for (int y = part.top(); y <= part.bottom(); ++y)
                for (int x = part.left(); x <= part.right(); ++x) {
                    const QColor pixel = shot.pixelColor(x, y);
                    // Light on a dark window, or dark on a light one.
                    if (dark ? pixel.lightness() > 150 : pixel.lightness() < 100) {
                        ++wrong;
                        example = pixel;
                    }
                    ++checked;
                }
        if (wrong)
            faults << QStringLiteral("%1 \"%2\": %3 pixels such as %4")
                          .arg(widget->metaObject()->className(), widget->objectName())
                          .arg(wrong)
                          .arg(example.name());
        if (qobject_cast<QSplitterHandle *>(widget) && widget->parentWidget()
            && widget->parentWidget()->objectName() == "splitViewBetweenTextAndStatus")
            consoleDividerChecked = consoleDividerChecked || !own.isEmpty();
    }
    QVERIFY(consoleDividerChecked && checked > 10000);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
