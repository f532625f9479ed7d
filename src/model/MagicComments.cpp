#include "model/MagicComments.h"

#include <QFile>
#include <QStringDecoder>

namespace {

// The value of a magic line, split into its key and value, or false when the line
// is an ordinary comment. The caller has already taken the line's leading spaces.
bool splitMagicLine(QStringView line, QStringView &key, QStringView &value)
{
    // Any number of percent signs: "%% !TeX" is still a comment that says "!TeX",
    // and files that mark their header with doubled signs mean it the same way.
    qsizetype at = 0;
    while (at < line.size() && line[at] == u'%')
        ++at;
    if (at == 0)
        return false;
    line = line.mid(at).trimmed();
    if (!line.startsWith(u"!tex", Qt::CaseInsensitive))
        return false;
    line = line.mid(4);
    // "!TeXprogram" is not a magic line: the key stands apart from the marker.
    if (line.isEmpty() || !line.front().isSpace())
        return false;
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0)
        return false;
    key = line.left(equals).trimmed();
    value = line.mid(equals + 1).trimmed();
    return !key.isEmpty();
}

void setOnce(QString &field, QStringView value)
{
    if (field.isEmpty())
        field = value.toString();
}

} // namespace

MagicComments MagicComments::read(QStringView text)
{
    MagicComments found;
    text = text.left(headCharacters);
    if (text.startsWith(QChar(0xFEFF)))
        text = text.mid(1);

    qsizetype start = 0;
    for (int lineNumber = 0; lineNumber < headLines && start < text.size(); ++lineNumber) {
        // Lines end in LF, CR LF or a lone CR, whichever the file was saved with.
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\n' && text[end] != u'\r')
            ++end;
        const QStringView line = text.mid(start, end - start).trimmed();
        if (end < text.size() && text[end] == u'\r' && end + 1 < text.size()
            && text[end + 1] == u'\n')
            ++end;
        start = end + 1;

        if (line.isEmpty())
            continue;
        if (!line.startsWith(u'%'))
            break; // the first line of TeX ends the header
        QStringView key, value;
        if (!splitMagicLine(line, key, value) || value.isEmpty())
            continue;
        if (key.compare(u"program", Qt::CaseInsensitive) == 0
            || key.compare(u"TS-program", Qt::CaseInsensitive) == 0)
            setOnce(found.program, value);
        else if (key.compare(u"root", Qt::CaseInsensitive) == 0)
            setOnce(found.root, value);
        else if (key.compare(u"spellcheck", Qt::CaseInsensitive) == 0)
            setOnce(found.spellcheck, value);
        else if (key.compare(u"encoding", Qt::CaseInsensitive) == 0)
            setOnce(found.encoding, value);
    }
    return found;
}

MagicComments MagicComments::readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray head = file.read(headCharacters);
    // A character cut in two at the end of the head would spoil the UTF-8 decoding
    // of the whole head; the magic lines stand before it anyway.
    if (!file.atEnd()) {
        const qsizetype lastLineEnd = qMax(head.lastIndexOf('\n'), head.lastIndexOf('\r'));
        head.truncate(lastLineEnd + 1);
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(head);
    // The keys are ASCII in every encoding a file may be in; only a value with other
    // letters (a root named "thèse.tex" in a Latin-1 file) needs the bytes read as
    // Latin-1 when they are not UTF-8.
    if (utf8.hasError())
        text = QString::fromLatin1(head);
    return read(text);
}
