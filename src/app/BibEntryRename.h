#pragma once

#include "model/UsageScanner.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>

class QSFile;

// The bibliography databases of a document, as a rename of a citation key reads
// and writes them: the key's entry changes on disk with its citations, and an Undo
// of the rename puts the file's bytes back.
//
// A database is read as bytes and looked through one character per byte, so that
// the places found are byte offsets whatever the file's encoding; a key is matched
// as its UTF-8 bytes, which is how TeX reads it from a UTF-8 file.
namespace BibEntryRename {

struct Database
{
    QString path;        // absolute
    QString name;        // as a list shows it: from the root's folder when under it
    bool shared = false; // outside the root's folder (BIBINPUTS, the TeX tree)
    QByteArray bytes;    // as read
    QString text;        // the bytes, one character each
    QList<Usage> places; // the key's entries, as byte offsets
};

// One file's change: its bytes before and after.
struct Write
{
    QString path;
    QByteArray before;
    QByteArray after;
};

// The databases that the document's files name, where the engine finds them (each
// once), with the places of the key's entries. A name found nowhere is left out.
QList<Database> read(const std::shared_ptr<QSFile> &root, const QString &key);
// Why the key's entries cannot be renamed where they are: one stands in a database
// outside the document's folder, which other documents may read too. Empty when
// they can.
QString sharedRefusal(const QList<Database> &databases, const QString &key);
// Whether any database has an entry of the key.
bool defines(const QList<Database> &databases, const QString &key);
// The databases with the key's entries renamed, but for those left out (each a
// path and a byte offset); a database with nothing to rename is left out.
QList<Write> plan(const QList<Database> &databases, const QString &key, const QString &newKey,
                  const QSet<std::pair<QString, qint32>> &leftOut);
// Why the files cannot all be written, in words for the user; empty when they can.
// Each must still hold the bytes it is to be changed from (undone when back),
// be writable in a writable folder, and have no unsaved edits in a window.
QString refusal(const QList<Write> &writes, bool back = false);
// Writes each file's new bytes (its old ones when back) through a safe save, after
// refusal() found nothing; a file that fails puts back those written before it.
// Windows that show a database read it again. Why it failed, empty when it did not.
QString write(const QList<Write> &writes, bool back = false);

} // namespace BibEntryRename
