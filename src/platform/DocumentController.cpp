#include "platform/DocumentController.h"

#include "platform/Document.h"
#include "platform/UserDefaults.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

namespace {

DocumentController *sharedController = nullptr;

constexpr qsizetype recentDocumentsKept = 10;

DocumentController::SaveAnswer askWithMessageBox(Document *document)
{
    QMessageBox box(document->window());
    box.setIcon(QMessageBox::Warning);
    box.setWindowModality(Qt::WindowModal);
    box.setText(DocumentController::saveQuestion(document));
    box.setInformativeText(QObject::tr("Your changes will be lost if you don't save them."));
    QPushButton *save = box.addButton(QMessageBox::Save);
    QPushButton *dontSave = box.addButton(QObject::tr("Don't Save"), QMessageBox::DestructiveRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(save);
    box.exec();
    if (box.clickedButton() == save)
        return DocumentController::SaveAnswer::Save;
    if (box.clickedButton() == dontSave)
        return DocumentController::SaveAnswer::DontSave;
    return DocumentController::SaveAnswer::Cancel;
}

} // namespace

DocumentController::DocumentController(QObject *parent)
    : QObject(parent)
    , _question(&askWithMessageBox)
{
    if (!sharedController)
        sharedController = this;
}

DocumentController::~DocumentController()
{
    if (sharedController == this)
        sharedController = nullptr;
}

DocumentController *DocumentController::sharedDocumentController()
{
    return sharedController;
}

QString DocumentController::untitledDisplayName() const
{
    for (int number = 1;; ++number) {
        const QString name = number == 1 ? tr("Untitled") : tr("Untitled %1").arg(number);
        const bool taken =
            std::any_of(_documents.cbegin(), _documents.cend(),
                        [&](const Document *document) { return document->displayName() == name; });
        if (!taken)
            return name;
    }
}

Document *DocumentController::newDocument()
{
    if (Document *untouched = untouchedDocument()) {
        raise(untouched);
        return untouched;
    }
    Document *document = _factory ? _factory(QString(), untitledDisplayName()) : nullptr;
    if (document)
        addDocument(document);
    return document;
}

Document *DocumentController::openDocument(const QString &path)
{
    const QString canonical = QFileInfo(path).absoluteFilePath();
    for (Document *document : std::as_const(_documents)) {
        if (document->property("filePath").toString() == canonical && document->window()) {
            raise(document);
            return document;
        }
    }
    // A file of an open document (a chapter it includes) is shown in its window.
    for (Document *document : std::as_const(_documents)) {
        if (document->window() && document->holdsFile(canonical)) {
            document->showFile(canonical);
            raise(document);
            return document;
        }
    }
    const QPointer<Document> untouched = untouchedDocument();
    Document *document = _factory ? _factory(canonical, QFileInfo(canonical).fileName()) : nullptr;
    if (document) {
        document->setProperty("filePath", canonical);
        addDocument(document);
        noteRecentDocument(canonical);
        // The file takes the place of the empty window, which goes.
        if (untouched && untouched->window()) {
            document->window()->setGeometry(untouched->window()->geometry());
            untouched->window()->close();
        }
    }
    return document;
}

Document *DocumentController::untouchedDocument() const
{
    for (Document *document : _documents) {
        if (document->window() && document->isUntouched())
            return document;
    }
    return nullptr;
}

void DocumentController::raise(Document *document)
{
    document->window()->raise();
    document->window()->activateWindow();
    _currentDocument = document;
}

void DocumentController::addDocument(Document *document)
{
    document->setParent(this);
    _documents.append(document);
    _currentDocument = document;
}

Document *DocumentController::currentDocument() const
{
    return _currentDocument;
}

void DocumentController::setCurrentDocument(Document *document)
{
    _currentDocument = document;
}

QString DocumentController::saveQuestion(const Document *document)
{
    QStringList names = document->namesOfUnsavedFiles();
    if (names.isEmpty())
        names << document->displayName();
    for (QString &name : names)
        name = u'"' + name + u'"';
    if (names.size() == 1)
        return tr("Do you want to save the changes you made in %1?").arg(names.first());
    const QString last = names.takeLast();
    const QString all = tr("%1 and %2").arg(names.join(QStringLiteral(", ")), last);
    return names.size() == 1 ? tr("Do you want to save the changes you made in %1?").arg(all)
                             : tr("Do you want to save the changes you made in %1 files: %2?")
                                   .arg(names.size() + 1)
                                   .arg(all);
}

bool DocumentController::shouldCloseDocument(Document *document)
{
    if (!document->isDocumentEdited())
        return true;
    switch (_question(document)) {
    case SaveAnswer::Save:
        return document->saveDocument();
    case SaveAnswer::DontSave:
        return true;
    case SaveAnswer::Cancel:
        return false;
    }
    return false;
}

void DocumentController::removeDocument(Document *document)
{
    _documents.removeAll(document);
    if (_currentDocument == document)
        _currentDocument = _documents.isEmpty() ? nullptr : _documents.last();
    document->deleteLater();
}

QStringList DocumentController::recentDocumentPaths()
{
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    const QStringList noted = defaults.objectForKey(QSRecentDocuments).toStringList();
    QStringList present;
    for (const QString &path : noted) {
        if (QFileInfo(path).isFile())
            present << path;
    }
    if (present.size() != noted.size())
        defaults.setObject(present, QSRecentDocuments);
    return present;
}

void DocumentController::noteRecentDocument(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    QStringList paths = defaults.objectForKey(QSRecentDocuments).toStringList();
    paths.removeAll(absolute);
    paths.prepend(absolute);
    defaults.setObject(paths.mid(0, recentDocumentsKept), QSRecentDocuments);
}

void DocumentController::clearRecentDocuments()
{
    UserDefaults::standardUserDefaults().removeObjectForKey(QSRecentDocuments);
}
