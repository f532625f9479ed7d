// Every encoding on any bytes: what decodes encodes back to the same bytes, and the
// piecewise decoder gives the strict decoder's text for valid input, however the
// bytes are cut.
#include "FuzzInput.h"
#include "platform/TextDecoder.h"
#include "platform/TextEncoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    const quint32 cut = input.number();
    const QByteArray bytes = input.bytes().mid(4);
    for (const TextEncoding::Choice &choice : TextEncoding::choices()) {
        const std::optional<QString> text = TextEncoding::decode(bytes, choice.number);
        if (!text)
            continue;
        FUZZ_CHECK(TextEncoding::encode(*text, choice.number) == bytes);
        TextDecoder decoder(choice.number);
        const qsizetype at = bytes.isEmpty() ? 0 : qsizetype(cut % quint32(bytes.size()));
        const QString pieces =
            decoder.decode(bytes.left(at)) + decoder.decode(bytes.mid(at)) + decoder.finish();
        FUZZ_CHECK(pieces == *text);
    }
    return 0;
}
