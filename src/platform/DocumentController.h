#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>

class Document;

// Keeps the open documents: makes new untitled ones ("Untitled", "Untitled 2", ...),
// opens files, knows the current document (that of the active window) and asks
// whether to save an edited document before its window closes. One per program.
class DocumentController : public QObject
{
    Q_OBJECT

public:
    enum class SaveAnswer { Save, DontSave, Cancel };
    // Makes a document: for an empty path a new untitled one, else one read from the
    // path; none when the file cannot be opened (the factory tells the user why).
    using DocumentFactory =
        std::function<Document *(const QString &path, const QString &displayName)>;

    explicit DocumentController(QObject *parent = nullptr);
    ~DocumentController() override;
    static DocumentController *sharedDocumentController();

    void setDocumentFactory(DocumentFactory factory) { _factory = std::move(factory); }
    // How the close confirmation asks the user; tests answer for the user.
    void setSaveQuestion(std::function<SaveAnswer(Document *)> question)
    {
        _question = std::move(question);
    }

    // An untouched untitled document is brought to the front instead of a new one.
    Document *newDocument();
    // A file that is open already, or is a file of an open document, brings its
    // window to the front; a file opened anew replaces an untouched untitled window.
    Document *openDocument(const QString &path);
    const QList<Document *> &documents() const { return _documents; }
    Document *currentDocument() const;
    void setCurrentDocument(Document *document);
    QString untitledDisplayName() const;

    // Asks whether to save an edited document; false when its window must stay open.
    bool shouldCloseDocument(Document *document);
    // The question, naming the files that hold the unsaved changes.
    static QString saveQuestion(const Document *document);
    // The window of the document has closed: the controller lets it go.
    void removeDocument(Document *document);

    // The documents opened or saved last, newest first, at most ten; files that are
    // gone are left out (and forgotten). Kept in the user's settings.
    static QStringList recentDocumentPaths();
    // Puts the file first among the recent documents.
    void noteRecentDocument(const QString &path);
    void clearRecentDocuments();

private:
    void addDocument(Document *document);
    // The first untitled document nobody has typed in, if any.
    Document *untouchedDocument() const;
    void raise(Document *document);

    DocumentFactory _factory;
    std::function<SaveAnswer(Document *)> _question;
    QList<Document *> _documents;
    QPointer<Document> _currentDocument;
};
