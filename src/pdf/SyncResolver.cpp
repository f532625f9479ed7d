#include "pdf/SyncResolver.h"

#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "pdf/PdfSync.h"
#include "pdf/SyncTexLookup.h"

#include <QDir>
#include <QFileInfo>
#include <QPdfDocument>

bool SyncResolver::usesSyncTeX(const QSFile &root)
{
    const std::optional<QUrl> pdf = root.pdfPath();
    if (!pdf)
        return false;
    const QString pdfPath = pdf->toLocalFile();
    const QFileInfo syncTeX(pdfPath.left(pdfPath.size() - 3) + QStringLiteral("synctex.gz"));
    if (!syncTeX.exists())
        return false;
    const std::optional<QString> pdfSync = root.pdfSyncPath();
    return !root.doesPdfSyncExist() || syncTeX.lastModified() > QFileInfo(*pdfSync).lastModified();
}

std::optional<SyncResolver::PagePosition> SyncResolver::positionForLine(const QSFile &root,
                                                                        const QSFile &shown,
                                                                        int line,
                                                                        const QPdfDocument *pdf)
{
    if (root.isUntitled() || !pdf)
        return std::nullopt;
    if (usesSyncTeX(root)) {
        const auto position =
            SyncTexLookup::positionForLine(root.pdfPath()->toLocalFile(), shown.pathText(), line);
        if (!position)
            return std::nullopt;
        return PagePosition{position->page, QPointF(position->x, position->y)};
    }
    const std::optional<QString> sync = root.contentOfPdfSync();
    if (!sync)
        return std::nullopt;
    const PdfSync::ShownFile facts{&shown == &root, shown.name(),
                                   shown.relativeIncludePathsToThisFile().values()};
    const auto position = PdfSync::positionForLine(*sync, facts, line);
    if (!position)
        return std::nullopt;
    // The sync data measures from the page's lower left corner.
    const qreal pageHeight = pdf->pagePointSize(position->page - 1).height();
    return PagePosition{position->page, QPointF(position->x, pageHeight - position->y)};
}

std::optional<std::pair<std::shared_ptr<QSFile>, int>>
SyncResolver::sourceForPoint(const std::shared_ptr<QSFile> &root, int page, QPointF point,
                             qreal pageHeight)
{
    if (root->isUntitled())
        return std::nullopt;
    QString path;
    int line = 0;
    if (usesSyncTeX(*root)) {
        const auto source = SyncTexLookup::sourceForPoint(root->pdfPath()->toLocalFile(), page,
                                                          point.x(), point.y());
        if (!source)
            return std::nullopt;
        path = source->path;
        line = source->line;
    } else if (const std::optional<QString> sync = root->contentOfPdfSync()) {
        // The sync data measures from the page's lower left corner.
        const auto source = PdfSync::sourceForPoint(*sync, page, point.x(), pageHeight - point.y());
        if (!source)
            return std::nullopt;
        // Names as the engine read them, from the root file's folder, ".tex" implied.
        path = source->file.isEmpty() ? root->pathText()
                                      : QDir::cleanPath(root->directory() + source->file);
        if (!source->file.isEmpty() && !path.endsWith(QStringLiteral(".tex")))
            path += QStringLiteral(".tex");
        line = source->line;
    }
    QSFilePool *pool = QSFilePool::sharedFilePool();
    const std::shared_ptr<QSFile> file =
        pool ? pool->fileObjectForPath(QUrl::fromLocalFile(path)) : nullptr;
    // Only a file of this document: another window's file of that name is not it.
    if (!file || !QSFilePool::fileList(root.get()).contains(file))
        return std::nullopt;
    return std::pair{file, line};
}
