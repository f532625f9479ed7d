#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

// The engine's log read as bytes: its patterns are ASCII and every encoding a log
// can be in keeps ASCII as it is, so only the lines that hold a diagnostic are ever
// decoded. Pure functions, for any thread.
namespace LogBytes {

// A letter, digit or "_" of ASCII.
bool isWordByte(char byte);
// The bytes with the engine's "^^c3" escapes turned back into the bytes they stand for.
QByteArray withoutEscapes(QByteArrayView bytes);
// A file name as the log gives it, as the file system's bytes.
QString fileName(QByteArrayView bytes);
bool startsWith(QByteArrayView log, qsizetype at, QByteArrayView text);
// The place of the ":" after the file name of an error line that starts at a place
// ("./name.tex:", "../shared/name.tex:", "/home/.../name.tex:"), or -1.
qsizetype errorNameEnd(QByteArrayView log, qsizetype at);
// The first place of a text in the log between two places, or -1.
qsizetype findText(QByteArrayView log, QByteArrayView what, qsizetype from, qsizetype to);
// Appends the line feeds between two places that end a line TeX broke only because
// it reached its 79-byte limit.
void findBrokenLines(QByteArrayView log, qsizetype from, qsizetype to, QList<qsizetype> &breaks);
// The log without those line breaks where they can matter, or a null array when
// none needs to go.
QByteArray joinedLines(QByteArrayView log, const QList<qsizetype> &breaks);

// File openings: "(./", then a name that ends in ".tex".
struct Openings
{
    QList<qsizetype> starts; // of the names
    QStringList names;
    qsizetype searchFrom = 0; // after the last name found, or where the search stopped
};
// Adds the openings that begin before a place, from where the search stood.
void findOpenings(QByteArrayView log, qsizetype to, Openings &openings);

// The leading decimal digits of a text, or 0.
qint32 leadingNumber(QStringView text);
// A line of a log written with CR LF line ends, without its CR.
QString withoutCarriageReturn(QString line);

} // namespace LogBytes
