#include "find/FindAndReplaceViewController.h"

#include "editor/QSTextView.h"
#include "find/DocumentMatchesList.h"
#include "find/FindAndReplace.h"
#include "find/FindAndReplaceOutlineViewDataSource.h"
#include "find/FindAndReplaceViewBackground.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/QSSectionNode.h"
#include "model/QSUndoManager.h"
#include "model/SearchPattern.h"
#include "model/TextStorageDelegate.h"
#include "platform/Assertions.h"
#include "platform/UserDefaults.h"
#include "ui_FindAndReplaceView.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTextCursor>
#include <QToolButton>
#include <QTreeView>
#include <QVariantAnimation>

FindAndReplaceViewController::FindAndReplaceViewController(
    QSTextView *textView, TextStorageDelegate *delegate, QTreeView *outline,
    std::function<std::shared_ptr<QSFile>()> rootFile, QObject *parent)
    : QObject(parent)
    , _ui(std::make_unique<Ui::FindAndReplaceView>())
    , _view(new FindAndReplaceViewBackground)
    , _textView(textView)
    , _textStorageDelegate(delegate)
    , _outline(outline)
    , _rootFile(std::move(rootFile))
    , _documentMatches(new DocumentMatchesList(outline, _rootFile, this))
    , _dataSourceForOutlineView(_documentMatches->model())
    , _animation(new QVariantAnimation(this))
{
    QS_ASSERT(_rootFile && _rootFile(),
              "doc is nil in initWithMyDocument of FindAndReplaceViewController");
    _ui->setupUi(static_cast<FindAndReplaceViewBackground *>(_view.data()));
    _findAndReplaceObject = std::make_unique<FindAndReplace>(_rootFile());

    const SearchPattern::Options options(
        UserDefaults::standardUserDefaults().integerForKey(QSFindOptions));
    _ui->matchCaseOption->setChecked(options & SearchPattern::MatchCase);
    _ui->wholeWordsOption->setChecked(options & SearchPattern::WholeWords);
    _ui->regularExpressionOption->setChecked(options & SearchPattern::RegularExpression);
    for (QToolButton *option :
         {_ui->matchCaseOption, _ui->wholeWordsOption, _ui->regularExpressionOption})
        connect(option, &QToolButton::toggled, this,
                &FindAndReplaceViewController::optionsDidChange);
    // A result clicked again, or given Return, goes back to its occurrence.
    connect(_outline, &QAbstractItemView::clicked, this,
            &FindAndReplaceViewController::outlineViewSelectionDidChange);
    connect(_outline, &QAbstractItemView::activated, this,
            &FindAndReplaceViewController::outlineViewSelectionDidChange);
    connect(_documentMatches, &DocumentMatchesList::matchChosen, this,
            &FindAndReplaceViewController::resultChosen);
    connect(_documentMatches, &DocumentMatchesList::summaryChanged, this,
            [this](const QString &summary) {
                if (!_showsPatternError)
                    _ui->o_resultLabel->setText(summary);
            });
    connect(_ui->o_findTextField, &QLineEdit::textChanged, this,
            &FindAndReplaceViewController::controlTextDidChange);
    connect(_ui->o_findTextField, &QLineEdit::returnPressed, this,
            &FindAndReplaceViewController::findNext);
    connect(_ui->o_replaceTextField, &QLineEdit::returnPressed, this,
            &FindAndReplaceViewController::replace);
    connect(_ui->findNextButton, &QToolButton::clicked, this,
            &FindAndReplaceViewController::findNext);
    connect(_ui->findPreviousButton, &QToolButton::clicked, this,
            &FindAndReplaceViewController::findPrevious);
    connect(_ui->replaceButton, &QToolButton::clicked, this,
            &FindAndReplaceViewController::replace);
    connect(_ui->replaceAllButton, &QToolButton::clicked, this,
            &FindAndReplaceViewController::replaceAll);
    connect(_ui->searchFileButton, &QToolButton::clicked, this,
            &FindAndReplaceViewController::searchFileForString);
    connect(_ui->closeButton, &QToolButton::clicked, this,
            &FindAndReplaceViewController::hideFindAndReplace);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), _view);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, &FindAndReplaceViewController::hideFindAndReplace);
    _ui->o_findTextField->installEventFilter(this);

    _animation->setDuration(slideMilliseconds);
    _animation->setEasingCurve(QEasingCurve::InQuad);
    connect(_animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &height) { setStripHeight(height.toInt()); });
    connect(_animation, &QVariantAnimation::finished, this, [this] { _isAnimating = false; });
}

FindAndReplaceViewController::~FindAndReplaceViewController()
{
    if (_view && !_view->parent())
        delete _view;
}

QLineEdit *FindAndReplaceViewController::findTextField() const
{
    return _ui->o_findTextField;
}

QLineEdit *FindAndReplaceViewController::replaceTextField() const
{
    return _ui->o_replaceTextField;
}

QLabel *FindAndReplaceViewController::resultLabel() const
{
    return _ui->o_resultLabel;
}

QToolButton *FindAndReplaceViewController::matchCaseOption() const
{
    return _ui->matchCaseOption;
}

QToolButton *FindAndReplaceViewController::wholeWordsOption() const
{
    return _ui->wholeWordsOption;
}

QToolButton *FindAndReplaceViewController::regularExpressionOption() const
{
    return _ui->regularExpressionOption;
}

SearchPattern FindAndReplaceViewController::searchPattern() const
{
    SearchPattern::Options options;
    options.setFlag(SearchPattern::MatchCase, _ui->matchCaseOption->isChecked());
    options.setFlag(SearchPattern::WholeWords, _ui->wholeWordsOption->isChecked());
    options.setFlag(SearchPattern::RegularExpression, _ui->regularExpressionOption->isChecked());
    return SearchPattern(_ui->o_findTextField->text(), options);
}

bool FindAndReplaceViewController::patternCanSearch(const SearchPattern &pattern)
{
    if (pattern.isValid()) {
        if (_showsPatternError)
            _ui->o_resultLabel->clear();
        _showsPatternError = false;
        return true;
    }
    _ui->o_resultLabel->setText(tr("Invalid regular expression: %1").arg(pattern.errorString()));
    _showsPatternError = true;
    return false;
}

// The window's find area, above the text and PDF; it is as high as the part of
// the strip that has slid into view.
QWidget *FindAndReplaceViewController::area() const
{
    return _view ? _view->parentWidget() : nullptr;
}

bool FindAndReplaceViewController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == area() && event->type() == QEvent::Resize) {
        // The strip hangs from the area's bottom edge, so it slides in from above.
        const int height = _view->sizeHint().height();
        _view->setGeometry(0, area()->height() - height, area()->width(), height);
    } else if (watched == _ui->o_findTextField && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            && (key->modifiers() & Qt::ShiftModifier)) {
            findPrevious();
            return true;
        }
    }
    return false;
}

// Slid away, the strip and its area are hidden, not only out of sight: the strip
// would hang above the area, over the toolbar, where a screen reader would still
// find its fields.
void FindAndReplaceViewController::setStripHeight(int height)
{
    QWidget *findArea = area();
    if (!findArea)
        return;
    findArea->installEventFilter(this);
    findArea->setFixedHeight(height);
    findArea->setVisible(height > 0);
}

// While it slides, the strip counts as where it is going.
bool FindAndReplaceViewController::isShown() const
{
    if (_isAnimating)
        return _animation->endValue().toInt() > 0;
    const QWidget *findArea = area();
    return findArea && findArea->height() > 0;
}

void FindAndReplaceViewController::hideWithoutAnimation()
{
    _animation->stop();
    _isAnimating = false;
    setStripHeight(0);
}

// A toggle during a slide turns the strip back from where it is.
void FindAndReplaceViewController::animatedToggle()
{
    QWidget *findArea = area();
    if (!findArea)
        return;
    const bool show = !isShown();
    _animation->stop();
    _animation->setStartValue(findArea->height());
    _animation->setEndValue(show ? _view->sizeHint().height() : 0);
    _isAnimating = true;
    _animation->start();
}

void FindAndReplaceViewController::showFindAndReplace()
{
    if (!isShown())
        animatedToggle();
    _ui->o_findTextField->setFocus();
    _ui->o_findTextField->selectAll();
}

void FindAndReplaceViewController::hideFindAndReplace()
{
    if (!isShown())
        return;
    animatedToggle();
    _documentMatches->clear();
    emit resultsHidden();
    _lastFoundLocation = 0;
    _textView->setFocus();
}

void FindAndReplaceViewController::closeFindAndReplace()
{
    _documentMatches->clear();
    emit resultsHidden();
    _lastFoundRange = QSRange{0, 0};
}

void FindAndReplaceViewController::findNext()
{
    const SearchPattern pattern = searchPattern();
    if (isShown() && patternCanSearch(pattern))
        _textView->selectAndHighlightNextRangeOfString(pattern);
}

void FindAndReplaceViewController::findPrevious()
{
    const SearchPattern pattern = searchPattern();
    if (isShown() && patternCanSearch(pattern))
        _textView->selectAndHighlightPreviousRangeOfString(pattern);
}

// Whatever is selected is replaced; a selection that is a match of a regular
// expression gets what its groups captured.
void FindAndReplaceViewController::replace()
{
    const SearchPattern pattern = searchPattern();
    const QTextCursor selection = _textView->textCursor();
    if (!isShown() || !patternCanSearch(pattern) || !selection.hasSelection())
        return;
    const QSRange selected{quint32(selection.selectionStart()),
                           quint32(selection.selectionEnd() - selection.selectionStart())};
    _textView->replaceSelectedRangeWith(
        pattern.replacementFor(_textView->toPlainText(), selected,
                               _ui->o_replaceTextField->text().isNull()
                                   ? QStringLiteral("")
                                   : _ui->o_replaceTextField->text()),
        false);
    _textView->selectAndHighlightNextRangeOfString(pattern);
}

void FindAndReplaceViewController::controlTextDidChange()
{
    if (_isPerformingSearch)
        return;
    _lastFoundRange = QSRange{0, 0};
    // Typing on searches from the match found so far (or the insertion point), so
    // that a longer key that still matches there stays there.
    QSTextView *text = _textView;
    text->setSearchOffset(text->textCursor().selectionStart());
    findNext();
    // A list in the outline follows the find text once the user pauses.
    if (const SearchPattern pattern = searchPattern(); pattern.isValid())
        _documentMatches->listSoon(pattern);
}

// The search starts again from the match shown, and a list of results in the
// outline is made anew.
void FindAndReplaceViewController::optionsDidChange()
{
    UserDefaults::standardUserDefaults().setObject(int(searchPattern().options()), QSFindOptions);
    controlTextDidChange();
    if (_outline->model() == _dataSourceForOutlineView)
        searchFileForString();
}

void FindAndReplaceViewController::replaceAll()
{
    const SearchPattern pattern = searchPattern();
    if (pattern.isEmpty() || !patternCanSearch(pattern))
        return;
    qsizetype occurrences = 0;
    int files = 0;
    for (const std::shared_ptr<QSFile> &file : QSFilePool::fileList(_rootFile().get())) {
        if (const qsizetype found = pattern.findAll(file->content()).size()) {
            occurrences += found;
            ++files;
        }
    }
    if (occurrences == 0) {
        _ui->o_resultLabel->setText(tr("Not found"));
        return;
    }
    const QString question =
        tr("Replace %1 in %2?")
            .arg(occurrences == 1 ? tr("1 occurrence") : tr("%1 occurrences").arg(occurrences),
                 files == 1 ? tr("1 file") : tr("%1 files").arg(files));
    auto *asking = new QMessageBox(QMessageBox::Question, tr("Replace All"), question,
                                   QMessageBox::Cancel, _view->window());
    asking->setObjectName(QStringLiteral("replaceAllConfirmation"));
    asking->setInformativeText(tr("Undo takes the replacements back in every file at once."));
    QPushButton *replaceButton = asking->addButton(tr("Replace"), QMessageBox::AcceptRole);
    asking->setDefaultButton(replaceButton);
    asking->setWindowModality(Qt::WindowModal);
    asking->setAttribute(Qt::WA_DeleteOnClose);
    const QString replacement = _ui->o_replaceTextField->text();
    connect(asking, &QMessageBox::finished, this, [=, this] {
        if (asking->clickedButton() == replaceButton)
            replaceEveryMatch(pattern, replacement);
    });
    asking->open();
}

void FindAndReplaceViewController::replaceUsages(
    const UsageName &name, const QString &newName,
    const QList<std::pair<const QSFile *, QSRange>> &places,
    const std::function<QString(bool back)> &alongside)
{
    QHash<const QSFile *, QList<Edit>> edits;
    for (const auto &[file, range] : places)
        edits[file].append({range, newName});
    const int replaced = replaceSpans(
        [&edits](const QSFile &file, const QString &) { return edits.value(&file); }, alongside);
    // A list of the old name's places lists the new name's now.
    if (_documentMatches->isListing()) {
        const QSignalBlocker quiet(_ui->o_findTextField);
        _ui->o_findTextField->setText(newName);
        _documentMatches->list(SearchPattern::usagesOf({name.kind, newName}));
    }
    _ui->o_resultLabel->setText(tr("%n replaced", nullptr, replaced));
}

void FindAndReplaceViewController::replaceEveryMatch(
    const SearchPattern &pattern, const QString &replacement,
    const std::function<bool(const QSFile &, QSRange)> &keep)
{
    const int replaced = replaceSpans([&](const QSFile &file, const QString &content) {
        QList<Edit> edits;
        for (const QSRange match : pattern.findAll(content))
            if (!keep || keep(file, match))
                edits.append({match, pattern.replacementFor(content, match, replacement)});
        return edits;
    });
    // The list in the outline shows the text as it is now, at once; what it says
    // gives way to what was replaced.
    if (_documentMatches->isListing())
        _documentMatches->list(pattern);
    _ui->o_resultLabel->setText(tr("%n replaced", nullptr, replaced));
}

int FindAndReplaceViewController::replaceSpans(
    const std::function<QList<Edit>(const QSFile &, const QString &)> &editsOf,
    const std::function<QString(bool back)> &alongside)
{
    TextStorageDelegate *delegate = _textStorageDelegate;
    QSTextView *text = _textView;
    const std::shared_ptr<QSFile> shown = delegate->selectedFile();
    const int caret = text->textCursor().position();
    _replacedFiles.clear();
    _alongside = alongside;
    int replaced = 0;
    for (const std::shared_ptr<QSFile> &file : QSFilePool::fileList(_rootFile().get())) {
        // The file's text is the text view's whenever the view shows it.
        const QList<Edit> edits = editsOf(*file, file->content());
        if (edits.isEmpty())
            continue;
        // Typed into the view as one edit, it is one undo step and one change for
        // the outline.
        QSUndoManager &history = file->undoManager();
        const quint64 before = history.serialOfStepToUndo();
        delegate->setSelectedFile(file);
        QTextCursor cursor(text->document());
        cursor.beginEditBlock();
        for (qsizetype i = edits.size() - 1; i >= 0; --i) {
            cursor.setPosition(int(edits[i].range.location));
            cursor.setPosition(int(edits[i].range.location + edits[i].range.length),
                               QTextCursor::KeepAnchor);
            cursor.insertText(edits[i].text);
        }
        cursor.endEditBlock();
        // Text replaced by the same text is no edit, and nothing to undo.
        if (const quint64 after = history.serialOfStepToUndo(); after != before)
            _replacedFiles.append(ReplacedFile{file, before, after});
        replaced += int(edits.size());
    }
    _latestSerialAfterReplaceAll = QSUndoManager::latestSerial();
    _replaceAllUndone = false;
    delegate->setSelectedFile(shown);
    QTextCursor back = text->textCursor();
    back.setPosition(qMin(caret, text->document()->characterCount() - 1));
    text->setTextCursor(back);
    return replaced;
}

// The Replace All is the latest edit while each file it changed has its step on
// top of its history (or, undone, next to be redone), and no file of the document
// has a step made after it.
bool FindAndReplaceViewController::replaceAllIsLatestEdit(bool undone) const
{
    if (_replacedFiles.isEmpty() || _replaceAllUndone != undone)
        return false;
    for (const ReplacedFile &replaced : _replacedFiles) {
        const std::shared_ptr<QSFile> file = replaced.file.lock();
        if (!file)
            return false;
        const QSUndoManager &history = file->undoManager();
        const quint64 toRedo = history.serialOfStepToRedo();
        const bool inPlace = undone ? history.serialOfStepToUndo() == replaced.before
                                          && toRedo > replaced.before && toRedo <= replaced.after
                                    : history.serialOfStepToUndo() == replaced.after;
        if (!inPlace)
            return false;
    }
    for (const std::shared_ptr<QSFile> &file : QSFilePool::fileList(_rootFile().get())) {
        if (file->undoManager().serialOfStepToUndo() > _latestSerialAfterReplaceAll)
            return false;
    }
    return true;
}

void FindAndReplaceViewController::inEachReplacedFile(
    const std::function<void(QSUndoManager &, quint64, quint64)> &step)
{
    const std::shared_ptr<QSFile> shown = _textStorageDelegate->selectedFile();
    for (const ReplacedFile &replaced : std::as_const(_replacedFiles)) {
        if (const std::shared_ptr<QSFile> file = replaced.file.lock()) {
            _textStorageDelegate->setSelectedFile(file);
            step(file->undoManager(), replaced.before, replaced.after);
        }
    }
    _textStorageDelegate->setSelectedFile(shown);
}

bool FindAndReplaceViewController::undoReplaceAll(QString *refused)
{
    if (!replaceAllIsLatestEdit(false)) {
        // Another undo after the Replace All's own: redoing it as one would put it
        // back before what this undo takes back.
        if (_replaceAllUndone)
            _replacedFiles.clear();
        return false;
    }
    if (const QString why = _alongside ? _alongside(true) : QString(); !why.isEmpty()) {
        if (refused)
            *refused = why;
        return true;
    }
    inEachReplacedFile([](QSUndoManager &history, quint64 before, quint64) {
        while (history.serialOfStepToUndo() > before)
            history.undo();
    });
    _replaceAllUndone = true;
    return true;
}

bool FindAndReplaceViewController::redoReplaceAll(QString *refused)
{
    if (!replaceAllIsLatestEdit(true))
        return false;
    if (const QString why = _alongside ? _alongside(false) : QString(); !why.isEmpty()) {
        if (refused)
            *refused = why;
        return true;
    }
    inEachReplacedFile([](QSUndoManager &history, quint64, quint64 after) {
        while (history.canRedo() && history.serialOfStepToRedo() <= after)
            history.redo();
    });
    _replaceAllUndone = false;
    return true;
}

// An expression that does not compile lists nothing.
void FindAndReplaceViewController::searchFileForString()
{
    const SearchPattern pattern = searchPattern();
    _documentMatches->list(patternCanSearch(pattern) ? pattern : SearchPattern());
    emit resultsShown(_dataSourceForOutlineView);
    _documentMatches->didShow();
}

void FindAndReplaceViewController::listUsages(const UsageName &name)
{
    if (!isShown())
        animatedToggle();
    {
        // The name is shown, not searched as text.
        const QSignalBlocker quiet(_ui->o_findTextField);
        _ui->o_findTextField->setText(name.name);
    }
    _documentMatches->list(SearchPattern::usagesOf(name));
    emit resultsShown(_dataSourceForOutlineView);
    _documentMatches->didShow();
}

// A chosen match is selected in its file; a chosen file, its first match.
void FindAndReplaceViewController::outlineViewSelectionDidChange()
{
    _documentMatches->showSelectedMatch();
}

void FindAndReplaceViewController::setFileToSearch(const std::shared_ptr<QSFile> &file)
{
    _searchOffset = 0;
    _fileToSearch = file;
}

void FindAndReplaceViewController::setSearchOffset(qint32 offset)
{
    if (offset < _textView->document()->characterCount() - 1)
        _searchOffset = offset;
}
