#pragma once

#include "model/LandmarkScanner.h"

#include <QList>
#include <QString>

// The outline rows that a piece of running text adds under its section: a row for
// each figure and table (its caption and label), for each label outside them, and
// for each place a bibliography is printed, in document order.
namespace OutlineLandmarkRows {

// Which kinds of row the outline shows (the View menu's toggles).
enum Shown { Labels = 1, Floats = 2, Bibliography = 4, All = 7 };

struct Row
{
    QString type;      // "label", "figure", "table" or "bibliography"
    QString name;      // the label; the caption's text (may be empty); the command
    QString label;     // a float's label, or empty
    qint32 offset = 0; // where the row's text begins, within the text scanned

    bool operator==(const Row &) const = default;
};

// The rows of the landmarks of one text, as shown: a label inside a float is the
// float's (the first one outside its subfigures, else the first), as is its
// caption; a label that a macro completes (holding #) gives no row; a float not
// closed in this text gives its row all the same.
QList<Row> rows(const QList<Landmark> &landmarks, int shown);

// The text a row shows: "Fig. caption (fig:a)", "Tab. (tab:b)", the label's
// name, "Bibliography".
QString displayText(const Row &row);

} // namespace OutlineLandmarkRows
