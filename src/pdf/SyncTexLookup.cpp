#include "pdf/SyncTexLookup.h"

#include <QDateTime>
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

// The parser library keeps a buffer of every scanner it makes after the scanner is
// freed, so one scanner is kept per PDF until its compile writes new data.
synctex_scanner_p scannerFor(const QString &pdfPath)
{
    struct Kept
    {
        QString pdfPath;
        QDateTime modified;
        Scanner scanner;
    };
    static Kept kept;
    const QString dataPath = pdfPath.left(pdfPath.size() - 3) + QStringLiteral("synctex.gz");
    const QDateTime modified = QFileInfo(dataPath).lastModified();
    if (!kept.scanner || kept.pdfPath != pdfPath || kept.modified != modified) {
        const QByteArray path = QFile::encodeName(pdfPath);
        kept = Kept{pdfPath, modified,
                    Scanner(synctex_scanner_new_with_output_file(path.constData(), nullptr, 1))};
    }
    return kept.scanner.get();
}

} // namespace

std::optional<SyncTexLookup::PagePosition>
SyncTexLookup::positionForLine(const QString &pdfPath, const QString &sourcePath, int line)
{
    synctex_scanner_p scanner = scannerFor(pdfPath);
    if (!scanner)
        return std::nullopt;
    const QByteArray source = QFile::encodeName(QDir::cleanPath(sourcePath));
    if (synctex_display_query(scanner, source.constData(), line, -1, 0) <= 0)
        return std::nullopt;
    if (synctex_node_p node = synctex_scanner_next_result(scanner))
        return PagePosition{synctex_node_page(node), synctex_node_visible_h(node),
                            synctex_node_visible_v(node)};
    return std::nullopt;
}

std::optional<SyncTexLookup::SourceLine> SyncTexLookup::sourceForPoint(const QString &pdfPath,
                                                                       int page, double x, double y)
{
    synctex_scanner_p scanner = scannerFor(pdfPath);
    if (!scanner || synctex_edit_query(scanner, page, float(x), float(y)) <= 0)
        return std::nullopt;
    synctex_node_p node = synctex_scanner_next_result(scanner);
    if (!node)
        return std::nullopt;
    const char *name = synctex_scanner_get_name(scanner, synctex_node_tag(node));
    if (!name)
        return std::nullopt;
    QString path = QFile::decodeName(name);
    if (QFileInfo(path).isRelative())
        path = QFileInfo(pdfPath).absoluteDir().filePath(path);
    return SourceLine{QDir::cleanPath(path), synctex_node_line(node)};
}
