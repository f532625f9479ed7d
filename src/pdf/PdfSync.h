#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Lookups in the sync data that the pdfsync package makes the engine write beside
// the PDF: where a source line was typeset, and which source line was typeset
// nearest to a point of a page. Plain text in, answers out.
class PdfSync
{
public:
    // What the lookup needs to know of the file shown in the text view.
    struct ShownFile
    {
        bool isRoot = true;
        QString name;                     // "one.tex"
        QStringList relativeIncludePaths; // "ch/one.tex", from each including file's folder
    };

    // A source line as the sync data names it: the file as written there ("ch/one",
    // "appendix.tex"; empty for the root file) and its 1-based line.
    struct SourceLine
    {
        QString file;
        int line = 0;
    };

    // A 1-based page and a point on it in PDF points from its lower left corner.
    struct PagePosition
    {
        int page = 0;
        double x = 0;
        double y = 0;
    };

    // The page for a 1-based line of the shown file and the position the engine
    // recorded for the line there, or none.
    static std::optional<PagePosition> positionForLine(const QString &sync, const ShownFile &shown,
                                                       int line);

    // The source line whose position record on the page lies nearest to the point,
    // given in PDF points from the page's lower left corner.
    static std::optional<SourceLine> sourceForPoint(const QString &sync, int page, double x,
                                                    double y);

    // The 1-based number of the line that holds a position of a text; LF, CR, CR LF,
    // U+0085, U+2028 and U+2029 end lines.
    static int lineNumberAt(const QString &text, qsizetype position);
};
