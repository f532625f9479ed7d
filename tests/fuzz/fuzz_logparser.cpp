// The log parser on any bytes: no crash, and diagnostics only for files it holds.
#include "FuzzInput.h"
#include "compile/LatexLogParser.h"
#include "model/ErrorWarningNode.h"
#include "model/QSFile.h"
#include "platform/TextEncoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::shared_ptr<QSFile> main =
        QSFile::initUntitledFileWithTemplateString(QStringLiteral("x"), QStringLiteral("main"));
    static const std::shared_ptr<QSFile> chapter =
        QSFile::initUntitledFileWithTemplateString(QStringLiteral("x"), QStringLiteral("chapter"));
    const QByteArray bytes = FuzzInput(data, size).bytes();
    for (int encoding : {int(TextEncoding::UTF8), int(TextEncoding::WindowsCP1252)}) {
        const auto result = LatexLogParser::parseLogBytes(
            bytes, encoding, QStringLiteral("/doc/"), [](const QString &path) {
                if (path == QLatin1String("/doc/main.tex"))
                    return main;
                return path == QLatin1String("/doc/ch/one.tex") ? chapter
                                                                : std::shared_ptr<QSFile>();
            });
        for (const LatexLogParser::FileDiagnostics &entry : result) {
            FUZZ_CHECK(entry.file == main || entry.file == chapter);
            for (const auto &node : entry.diagnostics)
                FUZZ_CHECK(node->file.lock() == entry.file && node->lineNumber >= 0);
        }
    }
    return 0;
}
