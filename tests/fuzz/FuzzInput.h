#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Reads a fuzzer's bytes as numbers and texts, front to back.
class FuzzInput
{
public:
    FuzzInput(const uint8_t *data, size_t size)
        : _data(reinterpret_cast<const char *>(data), qsizetype(size))
    {}

    quint32 number()
    {
        quint32 value = 0;
        for (int i = 0; i < 4 && _at < _data.size(); ++i)
            value = value << 8 | quint8(_data.at(_at++));
        return value;
    }
    // Up to length bytes as UTF-8 (invalid bytes become U+FFFD).
    QString text(qsizetype length)
    {
        const QByteArray bytes = _data.mid(_at, length);
        _at += bytes.size();
        return QString::fromUtf8(bytes);
    }
    QString rest() { return text(_data.size()); }
    QByteArray bytes() const { return _data; }
    bool atEnd() const { return _at >= _data.size(); }

private:
    QByteArray _data;
    qsizetype _at = 0;
};

// A finding: the fuzzer keeps the input that led here.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            std::abort();                                                                          \
    } while (false)
