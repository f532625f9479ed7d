#pragma once

#include <QByteArray>
#include <QString>

typedef void *iconv_t;

// Decodes a stream of bytes that arrives in pieces, such as a child process's
// output: a character split between two pieces comes out whole, and bytes that
// are not valid in the encoding show as U+FFFD instead of losing the piece.
class TextDecoder
{
public:
    // An unknown encoding number decodes as UTF-8.
    explicit TextDecoder(int encodingNumber);
    ~TextDecoder();
    TextDecoder(const TextDecoder &) = delete;
    TextDecoder &operator=(const TextDecoder &) = delete;

    QString decode(const QByteArray &bytes);
    // What is left of an unfinished character at the end of the stream.
    QString finish();

private:
    bool _isUtf8;
    iconv_t _converter;
    QByteArray _pending; // the start of a character whose other bytes have not arrived
};
