#include "pdf/SyncTexLookup.h"

#include <QDir>
#include <QFileInfo>
#include <memory>
#include <synctex_parser.h>

namespace {

struct ScannerDeleter
{
    void operator()(synctex_scanner_p scanner) const { synctex_scanner_free(scanner); }
};
using Scanner = std::unique_ptr<synctex_scanner_t, ScannerDeleter>;

Scanner openScanner(const QString &pdfPath)
{
    const QByteArray path = QFile::encodeName(pdfPath);
    return Scanner(synctex_scanner_new_with_output_file(path.constData(), nullptr, 1));
}

} // namespace

std::optional<int> SyncTexLookup::pageForLine(const QString &pdfPath, const QString &sourcePath,
                                              int line)
{
    const Scanner scanner = openScanner(pdfPath);
    if (!scanner)
        return std::nullopt;
    const QByteArray source = QFile::encodeName(QDir::cleanPath(sourcePath));
    if (synctex_display_query(scanner.get(), source.constData(), line, -1, 0) <= 0)
        return std::nullopt;
    if (synctex_node_p node = synctex_scanner_next_result(scanner.get()))
        return synctex_node_page(node);
    return std::nullopt;
}

std::optional<SyncTexLookup::SourceLine> SyncTexLookup::sourceForPoint(const QString &pdfPath,
                                                                       int page, double x, double y)
{
    const Scanner scanner = openScanner(pdfPath);
    if (!scanner || synctex_edit_query(scanner.get(), page, float(x), float(y)) <= 0)
        return std::nullopt;
    synctex_node_p node = synctex_scanner_next_result(scanner.get());
    if (!node)
        return std::nullopt;
    const char *name = synctex_scanner_get_name(scanner.get(), synctex_node_tag(node));
    if (!name)
        return std::nullopt;
    QString path = QFile::decodeName(name);
    if (QFileInfo(path).isRelative())
        path = QFileInfo(pdfPath).absoluteDir().filePath(path);
    return SourceLine{QDir::cleanPath(path), synctex_node_line(node)};
}
