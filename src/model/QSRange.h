#pragma once

#include <QtGlobal>

// A stretch of text in UTF-16 code units.
struct QSRange
{
    quint32 location = 0;
    quint32 length = 0;

    bool operator==(const QSRange &) const = default;
};

// The location of a search that found nothing.
inline constexpr quint32 QSNotFound = 0x7FFFFFFF;
