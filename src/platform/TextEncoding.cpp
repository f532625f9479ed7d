#include "platform/TextEncoding.h"

#include <QHash>
#include <QStringDecoder>
#include <QSysInfo>
#include <cerrno>
#include <iconv.h>

namespace {

const char *characterSetOf(int number)
{
    for (const TextEncoding::Choice &choice : TextEncoding::choices()) {
        if (choice.number == number)
            return choice.characterSet;
    }
    return nullptr;
}

// QString's code units in memory order.
constexpr const char *utf16 =
    QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE";

// Converts all of the input or fails: glibc's converters stop at the first byte
// sequence or character that has no counterpart, including the bytes that the
// Windows code pages leave undefined (which ICU's tables quietly map). Returns the
// number of bytes written to the output, or none.
std::optional<size_t> convert(const char *from, const char *to, const char *input, size_t inputSize,
                              char *output, size_t outputSize)
{
    iconv_t converter = iconv_open(to, from);
    if (converter == iconv_t(-1))
        return std::nullopt;
    char *in = const_cast<char *>(input);
    char *out = output;
    size_t inLeft = inputSize;
    size_t outLeft = outputSize;
    const bool converted = iconv(converter, &in, &inLeft, &out, &outLeft) != size_t(-1)
                           && iconv(converter, nullptr, nullptr, &out, &outLeft) != size_t(-1)
                           && inLeft == 0;
    iconv_close(converter);
    if (!converted)
        return std::nullopt;
    return size_t(out - output);
}

} // namespace

const QList<TextEncoding::Choice> &TextEncoding::choices()
{
    static const QList<Choice> all = {
        {QStringLiteral("Unicode UTF-8"), UTF8, "UTF-8"},
        {QStringLiteral("ISO-Latin1"), ISOLatin1, "ISO-8859-1"},
        {QStringLiteral("ISO-Latin2"), ISOLatin2, "ISO-8859-2"},
        {QStringLiteral("Cyrillic"), WindowsCP1251, "CP1251"},
        {QStringLiteral("Windows latin1"), WindowsCP1252, "CP1252"},
        {QStringLiteral("Windows latin2"), WindowsCP1250, "CP1250"},
        {QStringLiteral("Mac OS Roman"), MacOSRoman, "MACINTOSH"},
    };
    return all;
}

bool TextEncoding::isKnown(int number)
{
    return characterSetOf(number) != nullptr;
}

QString TextEncoding::label(int number)
{
    for (const Choice &choice : choices()) {
        if (choice.number == number)
            return choice.label;
    }
    return {};
}

std::optional<int> TextEncoding::numberForName(QStringView name)
{
    // The names of the character sets, of LaTeX's inputenc options, and of the
    // encodings as other editors on the platforms our users come from show them.
    static const QHash<QString, int> numbers = [] {
        QHash<QString, int> numbers;
        const auto add = [&](int number, std::initializer_list<const char *> names) {
            for (const char *name : names)
                numbers.insert(QString::fromLatin1(name), number);
        };
        add(UTF8, {"utf8", "utf8unicode", "unicodeutf8"});
        add(ISOLatin1, {"iso88591", "latin1", "isolatin1", "isolatin"});
        add(ISOLatin2, {"iso88592", "latin2", "isolatin2"});
        add(WindowsCP1251, {"windows1251", "cp1251"});
        add(WindowsCP1252, {"windows1252", "cp1252", "ansinew", "windowslatin1"});
        add(WindowsCP1250, {"windows1250", "cp1250", "windowslatin2"});
        add(MacOSRoman, {"macroman", "applemac", "macintosh", "macosroman"});
        return numbers;
    }();
    QString key;
    for (const QChar c : name) {
        if (c.isLetterOrNumber())
            key += c.toLower();
        else if (c != u'-' && c != u'_' && !c.isSpace())
            return std::nullopt;
    }
    const auto found = numbers.constFind(key);
    if (found == numbers.constEnd())
        return std::nullopt;
    return *found;
}

std::optional<QString> TextEncoding::decode(const QByteArray &bytes, int number)
{
    const char *characterSet = characterSetOf(number);
    if (!characterSet)
        return std::nullopt;
    if (bytes.isEmpty())
        return QStringLiteral("");
    // Qt's own UTF-8 decoder is several times faster than glibc's and refuses the
    // same malformed sequences; a byte-order mark stays in the text, as it was.
    if (number == UTF8) {
        QStringDecoder decoder(QStringConverter::Utf8,
                               QStringConverter::Flag::Stateless
                                   | QStringConverter::Flag::ConvertInitialBom);
        QString text = decoder.decode(bytes);
        if (decoder.hasError())
            return std::nullopt;
        return text;
    }
    // Every one of these encodings yields at most one UTF-16 code unit per byte.
    QString text(bytes.size(), Qt::Uninitialized);
    const std::optional<size_t> written =
        convert(characterSet, utf16, bytes.constData(), size_t(bytes.size()),
                reinterpret_cast<char *>(text.data()), size_t(text.size()) * 2);
    if (!written)
        return std::nullopt;
    text.truncate(qsizetype(*written / 2));
    return text;
}

std::optional<QByteArray> TextEncoding::encode(const QString &text, int number)
{
    const char *characterSet = characterSetOf(number);
    if (!characterSet)
        return std::nullopt;
    if (text.isEmpty())
        return QByteArray("");
    // UTF-8 needs at most three bytes for one UTF-16 code unit, the others one.
    QByteArray bytes(text.size() * 3, Qt::Uninitialized);
    const std::optional<size_t> written =
        convert(utf16, characterSet, reinterpret_cast<const char *>(text.constData()),
                size_t(text.size()) * 2, bytes.data(), size_t(bytes.size()));
    if (!written)
        return std::nullopt;
    bytes.truncate(qsizetype(*written));
    return bytes;
}
