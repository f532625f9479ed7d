#pragma once

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

// Asks for a new name for a label, citation key, command or environment and
// shows, before anything changes, every place the name stands in the document:
// by file, each with its line and a box to leave it out (a place in a comment is
// left out unless the user ticks it). A new name that cannot be used is refused
// with the reason, and the dialog cannot be accepted meanwhile.
class RenameDialog : public QDialog
{
    Q_OBJECT

public:
    // A place of the name as the dialog lists it.
    struct Place
    {
        std::shared_ptr<QSFile> file;
        qint32 offset = 0;
        bool inComment = false;

        bool operator==(const Place &other) const
        {
            return file == other.file && offset == other.offset;
        }
    };

    RenameDialog(const UsageName &name, const QList<DocumentMatches::Source> &sources,
                 QWidget *parent = nullptr);

    QString newName() const;
    // Every place listed, and those the user left out.
    const QList<Place> &places() const { return _places; }
    QSet<std::pair<const QSFile *, qint32>> leftOut() const;

    // The places of the name in the texts, in order.
    static QList<Place> placesIn(const UsageName &name,
                                 const QList<DocumentMatches::Source> &sources);
    // Why the new name cannot be used, in words for the user; empty when it can.
    static QString refusal(const UsageName &name, const QString &newName,
                           const QList<DocumentMatches::Source> &sources);
    // Whether the document defines the name: a command or environment as its
    // files' gathered definitions have it (\newcommand, \newenvironment and their
    // kin), a citation key by \bibitem (a key of a bibliography database is not
    // renamed here, since its entry would keep the old key). Labels are always the
    // document's own.
    static bool isDefined(const UsageName &name, const QList<DocumentMatches::Source> &sources);

private:
    void check();

    UsageName _name;
    QList<DocumentMatches::Source> _sources;
    QList<Place> _places;
    QLineEdit *_newName;
    QTreeWidget *_list;
    QLabel *_reason;
    QDialogButtonBox *_buttons;
    QPushButton *_rename = nullptr;
};
