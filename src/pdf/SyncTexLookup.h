#pragma once

#include <QString>
#include <optional>

// The same two lookups as PdfSync, through the system's SyncTeX parser, for a
// document whose author asked the engine for SyncTeX data (\synctex=1). The data is
// read again whenever a compile has rewritten it. UI thread only.
class SyncTexLookup
{
public:
    struct SourceLine
    {
        QString path; // absolute, as the engine recorded it
        int line = 0;
    };

    // A 1-based page and a point on it in PDF points from its upper left corner.
    struct PagePosition
    {
        int page = 0;
        double x = 0;
        double y = 0;
    };

    // Where the line of the source file was typeset: the page and the start of the
    // line's baseline there.
    static std::optional<PagePosition> positionForLine(const QString &pdfPath,
                                                       const QString &sourcePath, int line);
    // The source line typeset at a point of a 1-based page, given in PDF points
    // from the page's upper left corner.
    static std::optional<SourceLine> sourceForPoint(const QString &pdfPath, int page, double x,
                                                    double y);
};
