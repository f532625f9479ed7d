#pragma once

#include "app/BibEntryRename.h"
#include "find/DocumentMatches.h"
#include "model/UsageScanner.h"

#include <QDialog>
#include <QList>
#include <QSet>
#include <memory>

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSFile;
class QTreeWidget;

// Asks for a new name for a label, citation key, command, environment or file and
// shows, before anything changes, every place the name stands in the document:
// by file, each with its line and a box to leave it out (a place in a comment is
// left out unless the user ticks it). A new name that cannot be used is refused
// with the reason, and the dialog cannot be accepted meanwhile.
class RenameDialog : public QDialog
{
    Q_OBJECT

public:
    // A place of the name as the dialog lists it: in a file of the document, or
    // (file none) an entry's key in the bibliography database at the path.
    struct Place
    {
        std::shared_ptr<QSFile> file;
        qint32 offset = 0;
        bool inComment = false;
        QString database;
        qint32 length = 0; // of what is renamed there, when not the name's own

        bool operator==(const Place &other) const
        {
            return file == other.file && offset == other.offset && database == other.database
                   && length == other.length;
        }
    };
    using Databases = QList<BibEntryRename::Database>;

    // The databases are those of the document, read for a citation key.
    RenameDialog(const UsageName &name, const QList<DocumentMatches::Source> &sources,
                 const Databases &databases = {}, QWidget *parent = nullptr);

    QString newName() const;
    // Every place listed, and those the user left out: in the files, and in the
    // databases (each a path and a byte offset).
    const QList<Place> &places() const { return _places; }
    QSet<std::pair<const QSFile *, qint32>> leftOut() const;
    QSet<std::pair<QString, qint32>> leftOutOfDatabases() const;
    // Why a file of the document that the rename changes could not be saved with
    // it: gone from disk, changed there since it was read, or read-only. Empty when
    // each can.
    QString unsavableFile() const;
    // The path of a file that the name gives from the root's folder (the first
    // source's); empty for an untitled document.
    static QString pathOf(const UsageName &file, const QList<DocumentMatches::Source> &sources);

    // The places of the name in the texts, then in the databases, in order.
    static QList<Place> placesIn(const UsageName &name,
                                 const QList<DocumentMatches::Source> &sources,
                                 const Databases &databases = {});
    // Why the new name cannot be used, in words for the user; empty when it can.
    static QString refusal(const UsageName &name, const QString &newName,
                           const QList<DocumentMatches::Source> &sources,
                           const Databases &databases = {});
    // Whether the document defines the name: a command or environment as its
    // files' gathered definitions have it (\newcommand, \newenvironment and their
    // kin), a citation key by \bibitem or by an entry of its databases. Labels are
    // always the document's own.
    static bool isDefined(const UsageName &name, const QList<DocumentMatches::Source> &sources,
                          const Databases &databases = {});

private:
    // How a place is listed: its file's name, the text its offset is in, the length
    // of the name there.
    struct Shown
    {
        QString group;
        const QString *text;
        qsizetype length;
    };
    Shown shownAs(const Place &place) const;
    QList<Place> unchecked() const;
    void check();

    UsageName _name;
    QList<DocumentMatches::Source> _sources;
    Databases _databases;
    QList<Place> _places;
    QLineEdit *_newName;
    QTreeWidget *_list;
    QLabel *_reason;
    QDialogButtonBox *_buttons;
    QPushButton *_rename = nullptr;
};
