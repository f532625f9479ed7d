#include "platform/TextDecoder.h"

#include "platform/TextEncoding.h"

#include <QSysInfo>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace {

constexpr const char *utf16 =
    QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE";
constexpr QChar replacement(0xFFFD);

// Where an unfinished UTF-8 character at the end of the bytes begins, or their size.
qsizetype unfinishedUtf8Tail(const QByteArray &bytes)
{
    const qsizetype size = bytes.size();
    for (qsizetype start = size - 1; start >= 0 && start >= size - 4; --start) {
        const uchar byte = uchar(bytes.at(start));
        if ((byte & 0xC0) == 0x80)
            continue; // a continuation byte: the character began earlier
        const qsizetype length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return size - start < length && byte < 0xF8 ? start : size;
    }
    return size;
}

} // namespace

TextDecoder::TextDecoder(int encodingNumber)
    : _isUtf8(!TextEncoding::isKnown(encodingNumber) || encodingNumber == TextEncoding::UTF8)
{
    const char *characterSet = "UTF-8";
    for (const TextEncoding::Choice &choice : TextEncoding::choices()) {
        if (choice.number == encodingNumber)
            characterSet = choice.characterSet;
    }
    _converter = iconv_open(utf16, characterSet);
}

TextDecoder::~TextDecoder()
{
    if (_converter != iconv_t(-1))
        iconv_close(_converter);
}

QString TextDecoder::decode(const QByteArray &bytes)
{
    // Shared, not copied, when nothing is pending: a log can be large.
    const QByteArray input = _pending.isEmpty() ? bytes : _pending + bytes;
    _pending.clear();
    if (_isUtf8 || _converter == iconv_t(-1)) {
        // Qt's own decoder is the fastest for the common case and marks invalid bytes.
        const qsizetype tail = unfinishedUtf8Tail(input);
        _pending = input.mid(tail);
        return QString::fromUtf8(QByteArrayView(input).first(tail));
    }
    // None of the seven encodings gives more than one UTF-16 code unit per byte.
    QString text(input.size(), Qt::Uninitialized);
    char *in = const_cast<char *>(input.constData());
    size_t inLeft = size_t(input.size());
    char *out = reinterpret_cast<char *>(text.data());
    size_t outLeft = size_t(text.size()) * 2;
    while (inLeft > 0) {
        if (iconv(_converter, &in, &inLeft, &out, &outLeft) != size_t(-1))
            break;
        if (errno == EINVAL) {
            // An unfinished character: the rest of it comes with the next piece.
            _pending = QByteArray(in, qsizetype(inLeft));
            break;
        }
        // An invalid byte stands for one character in every one of these encodings.
        iconv(_converter, nullptr, nullptr, nullptr, nullptr);
        const char16_t unit = replacement.unicode();
        memcpy(out, &unit, 2);
        out += 2;
        outLeft -= 2;
        ++in;
        --inLeft;
    }
    text.truncate((out - reinterpret_cast<char *>(text.data())) / 2);
    return text;
}

QString TextDecoder::finish()
{
    const QString rest = _pending.isEmpty() ? QString() : QString(replacement);
    _pending.clear();
    return rest;
}
