#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QWidget;

// A document of the application: one window, a display name, an edited state and
// a way to save. The document controller keeps them.
class Document : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    QString displayName() const { return _displayName; }
    void setDisplayName(const QString &name) { _displayName = name; }

    virtual QWidget *window() const = 0;
    virtual bool isDocumentEdited() const = 0;
    // The names of the files of the document that hold unsaved changes, for the
    // question asked when its window closes.
    virtual QStringList namesOfUnsavedFiles() const { return {displayName()}; }
    // Saves the document; false when the user cancelled or it could not be written.
    virtual bool saveDocument() = 0;
    // A new untitled document nobody has typed in, which New and Open use instead of
    // opening another window.
    virtual bool isUntouched() const { return false; }
    // Whether the file (an absolute path) is one of the document's; shows it when
    // asked, for the file opened again from outside.
    virtual bool holdsFile(const QString &path) const
    {
        Q_UNUSED(path);
        return false;
    }
    virtual void showFile(const QString &path) { Q_UNUSED(path); }

private:
    QString _displayName;
};
