#include "app/DocumentTabs.h"

#include "editor/QSTextView.h"
#include "editor/TextFolding.h"
#include "model/QSFile.h"
#include "model/TextStorageDelegate.h"

#include <QScrollBar>
#include <QTabBar>
#include <QTimer>

DocumentTabs::DocumentTabs(QTabBar *bar, QSTextView *text, TextStorageDelegate *delegate,
                           QObject *parent)
    : QObject(parent)
    , _bar(bar)
    , _text(text)
    , _delegate(delegate)
{
    _bar->setDocumentMode(true);
    _bar->setExpanding(false);
    _bar->setMovable(false);
    _bar->setElideMode(Qt::ElideMiddle);
    _bar->setFocusPolicy(Qt::NoFocus);
    _bar->setAccessibleName(tr("Files shown"));
    connect(_delegate, &TextStorageDelegate::textViewReloaded, this, &DocumentTabs::fileShown);
    connect(_bar, &QTabBar::currentChanged, this, &DocumentTabs::tabChosen);
    connect(_text->verticalScrollBar(), &QScrollBar::valueChanged, this, &DocumentTabs::scrolled);
    connect(_delegate, &TextStorageDelegate::selectedFileWillChange, this,
            &DocumentTabs::keepFolds);
    connect(_text->folding(), &TextFolding::foldsChanged, this, &DocumentTabs::keepFolds);
    fileShown();
}

QList<std::shared_ptr<QSFile>> DocumentTabs::files() const
{
    QList<std::shared_ptr<QSFile>> held;
    for (const Tab &tab : _tabs)
        if (const std::shared_ptr<QSFile> file = tab.file.lock())
            held.append(file);
    return held;
}

int DocumentTabs::indexOf(const QSFile *file) const
{
    for (int index = 0; index < _tabs.size(); ++index)
        if (_tabs[index].file.lock().get() == file)
            return index;
    return -1;
}

QString DocumentTabs::title(const QSFile &file) const
{
    return file.hasContentChangedSinceLastSave(false) ? QStringLiteral("\u25CF ") + file.name()
                                                      : file.name();
}

void DocumentTabs::fileShown()
{
    const std::shared_ptr<QSFile> shown = _delegate->selectedFile();
    if (!shown)
        return;
    _following = true;
    int index = indexOf(shown.get());
    if (index < 0) {
        // Beside the tab the user came from, as browsers open a link.
        index = _bar->currentIndex() + 1;
        _tabs.insert(index, Tab{shown, 0, {}});
        _bar->insertTab(index, title(*shown));
        _bar->setTabToolTip(index, shown->pathText());
    }
    _bar->setCurrentIndex(index);
    _following = false;
    _text->folding()->setFoldedLines(_tabs[index].folds);
    // Where the file was left, once the view has laid its text out.
    const int scroll = _tabs[index].scroll;
    QTimer::singleShot(0, this, [this, file = std::weak_ptr<QSFile>(shown), scroll] {
        if (file.lock() == _delegate->selectedFile())
            _text->verticalScrollBar()->setValue(scroll);
    });
}

void DocumentTabs::tabChosen(int index)
{
    if (_following || index < 0 || index >= _tabs.size())
        return;
    if (const std::shared_ptr<QSFile> file = _tabs[index].file.lock();
        file && file != _delegate->selectedFile())
        emit fileChosen(file);
}

void DocumentTabs::scrolled(int value)
{
    // While the view changes files, the value is the new file's, not the tab's.
    const int index = _bar->currentIndex();
    if (index >= 0 && index < _tabs.size() && _tabs[index].file.lock() == _delegate->selectedFile())
        _tabs[index].scroll = value;
}

void DocumentTabs::keepFolds()
{
    const std::shared_ptr<QSFile> shown = _delegate->selectedFile();
    if (const int index = indexOf(shown.get()); index >= 0)
        _tabs[index].folds = _text->folding()->foldedLines();
}

QList<int> DocumentTabs::foldsOf(const QSFile *file) const
{
    const int index = indexOf(file);
    return index >= 0 ? _tabs[index].folds : QList<int>();
}

void DocumentTabs::setFoldsOf(const QSFile *file, const QList<int> &lines)
{
    if (const int index = indexOf(file); index >= 0) {
        _tabs[index].folds = lines;
        if (_delegate->selectedFile().get() == file)
            _text->folding()->setFoldedLines(lines);
    }
}

void DocumentTabs::step(int by)
{
    const int count = _bar->count();
    if (count > 1)
        _bar->setCurrentIndex(((_bar->currentIndex() + by) % count + count) % count);
}

bool DocumentTabs::closeCurrent(const std::shared_ptr<QSFile> &root)
{
    const int index = _bar->currentIndex();
    if (_bar->count() < 2 || index < 0 || _tabs[index].file.lock() == root)
        return false;
    _tabs.removeAt(index);
    _following = true;
    _bar->removeTab(index);
    _following = false;
    tabChosen(_bar->currentIndex());
    return true;
}

void DocumentTabs::keepOnly(const QList<std::shared_ptr<QSFile>> &documentFiles)
{
    _following = true;
    for (int index = int(_tabs.size()) - 1; index >= 0; --index) {
        if (!documentFiles.contains(_tabs[index].file.lock())) {
            _tabs.removeAt(index);
            _bar->removeTab(index);
        }
    }
    _following = false;
}

void DocumentTabs::showEditedFiles()
{
    _following = true;
    for (int index = int(_tabs.size()) - 1; index >= 0; --index) {
        if (const std::shared_ptr<QSFile> file = _tabs[index].file.lock()) {
            _bar->setTabText(index, title(*file));
        } else {
            // A file that left the document (its include was taken out) leaves its tab.
            _tabs.removeAt(index);
            _bar->removeTab(index);
        }
    }
    _following = false;
}
