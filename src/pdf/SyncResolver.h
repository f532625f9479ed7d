#pragma once

#include <QPointF>
#include <memory>
#include <optional>
#include <utility>

class QPdfDocument;
class QSFile;

// Answers a document's sync requests from the data its last compile left beside
// the PDF: SyncTeX when the author asked the engine for it and it is the newer,
// else the pdfsync file. Lookups only: the window turns pages and selects lines.
class SyncResolver
{
public:
    // A 1-based page and a point on it in PDF points from its upper left corner.
    struct PagePosition
    {
        int page = 0;
        QPointF point;
    };

    // Where a 1-based line of a file of the document was typeset in the PDF shown.
    static std::optional<PagePosition> positionForLine(const QSFile &root, const QSFile &shown,
                                                       int line, const QPdfDocument *pdf);
    // The file of the document and the 1-based line typeset at a point of a 1-based
    // page, in PDF points from the page's upper left corner; pageHeight is the page's
    // height in points.
    static std::optional<std::pair<std::shared_ptr<QSFile>, int>>
    sourceForPoint(const std::shared_ptr<QSFile> &root, int page, QPointF point, qreal pageHeight);
    // Whether the SyncTeX data is the one to read.
    static bool usesSyncTeX(const QSFile &root);
};
