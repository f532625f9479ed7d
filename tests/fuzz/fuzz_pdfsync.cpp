// The pdfsync lookups on any sync text and line numbers: no crash, and pages that
// the sync text names.
#include "FuzzInput.h"
#include "pdf/PdfSync.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput input(data, size);
    const int line = int(input.number() % 100000);
    const int page = int(input.number() % 1000);
    const QString sync = input.rest();
    const PdfSync::ShownFile shownFiles[] = {
        {},
        {false, QStringLiteral("one.tex"), {QStringLiteral("ch/one.tex")}},
        {false, QStringLiteral("a(b.tex"), {QStringLiteral("x/a(b.tex")}}};
    for (const PdfSync::ShownFile &shown : shownFiles) {
        if (PdfSync::positionForLine(sync, shown, line))
            FUZZ_CHECK(sync.contains(QStringLiteral("s ")));
    }
    PdfSync::sourceForPoint(sync, page, 100, 700);
    FUZZ_CHECK(PdfSync::lineNumberAt(sync, sync.size()) >= 1);
    return 0;
}
