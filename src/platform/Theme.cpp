#include "platform/Theme.h"

#include <QLinearGradient>
#include <QPainter>
#include <QWidget>

namespace {

const Theme *chosen = &Theme::light();

} // namespace

const Theme &Theme::light()
{
    static const Theme light{
        .isDark = false,
        .page = Qt::white,
        .text = Qt::black,
        .controlSequence = QColor::fromRgbF(0, 0, 1),
        .comment = QColor::fromRgbF(2.0f / 3, 2.0f / 3, 2.0f / 3),
        .bracket = QColor::fromRgbF(0.5, 0, 0.5),
        .currentLine = QColor(0, 0, 0, 24),
        .findIndicator = QColor(255, 230, 0),
        .templateOutline = Qt::red,
        .gutter = QColor(245, 245, 245),
        .gutterText = QColor(140, 140, 140),
        .matchingBracket = QColor(180, 220, 255),
        .misspelt = QColor(220, 0, 0),
        .unresolved = QColor(215, 120, 0),
        .window = QColor(239, 239, 239),
        .highlight = QColor(48, 140, 198),
        .syncMark = QColor(255, 200, 0, 110),
        .paneTop = QColor(247, 247, 249),
        .paneBottom = QColor(222, 223, 228),
        .paneEdge = QColor(185, 187, 195),
        .dividerTop = QColor(236, 236, 239),
        .dividerBottom = QColor(205, 206, 212),
        .dividerEdge = QColor(169, 171, 179),
        .grip = QColor(141, 141, 141),
    };
    return light;
}

// The same hues as the light set, lifted so that they read on a dark page.
const Theme &Theme::dark()
{
    static const Theme dark{
        .isDark = true,
        .page = QColor(30, 31, 34),
        .text = QColor(220, 221, 222),
        .controlSequence = QColor(110, 160, 255),
        .comment = QColor(125, 132, 140),
        .bracket = QColor(205, 145, 230),
        .currentLine = QColor(255, 255, 255, 22),
        .findIndicator = QColor(140, 115, 0),
        .templateOutline = QColor(255, 90, 90),
        .gutter = QColor(38, 39, 43),
        .gutterText = QColor(120, 124, 130),
        .matchingBracket = QColor(38, 79, 120),
        .misspelt = QColor(255, 95, 95),
        .unresolved = QColor(255, 170, 60),
        .window = QColor(49, 51, 56),
        .highlight = QColor(42, 98, 158),
        .syncMark = QColor(255, 200, 0, 110), // on the PDF's own white page
        .paneTop = QColor(54, 56, 61),
        .paneBottom = QColor(43, 45, 50),
        .paneEdge = QColor(24, 25, 28),
        .dividerTop = QColor(62, 64, 70),
        .dividerBottom = QColor(46, 48, 53),
        .dividerEdge = QColor(22, 23, 26),
        .grip = QColor(128, 132, 138),
    };
    return dark;
}

const Theme &Theme::current()
{
    return *chosen;
}

void Theme::setCurrent(const Theme &theme)
{
    chosen = &theme;
}

QPalette Theme::palette() const
{
    QPalette palette(window);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, window);
        palette.setColor(group, QPalette::Button, window);
        palette.setColor(group, QPalette::Base, page);
        palette.setColor(group, QPalette::AlternateBase, gutter);
        palette.setColor(group, QPalette::Text, text);
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::ButtonText, text);
        palette.setColor(group, QPalette::ToolTipBase, window);
        palette.setColor(group, QPalette::ToolTipText, text);
        palette.setColor(group, QPalette::PlaceholderText, gutterText);
        palette.setColor(group, QPalette::Highlight, highlight);
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
        palette.setColor(group, QPalette::Link, controlSequence);
    }
    for (const QPalette::ColorRole role :
         {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, gutterText);
    return palette;
}

void Theme::applyPageColours(QWidget *widget) const
{
    QPalette colours = widget->palette();
    colours.setColor(QPalette::Base, page);
    colours.setColor(QPalette::Text, text);
    widget->setPalette(colours);
}

void Theme::paintPane(QPainter *painter, const QRect &rect) const
{
    QLinearGradient shade(rect.topLeft(), rect.bottomLeft());
    shade.setColorAt(0, paneTop);
    shade.setColorAt(1, paneBottom);
    painter->fillRect(rect, shade);
}
