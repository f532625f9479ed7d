#include "platform/Theme.h"

const Theme &Theme::current()
{
    static const Theme light{
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
    };
    return light;
}
