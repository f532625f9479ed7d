#include "app/OutlineLandmarkRows.h"

#include "platform/OutlineAppearance.h"

#include <QCoreApplication>

namespace OutlineLandmarkRows {

namespace {

// A float being read: its row, how deep in floats the reading is (subfigures
// nest), and whether its caption and label were found at its own level.
struct OpenFloat
{
    Row row;
    int depth = 0;
    bool ownCaption = false;
    bool ownLabel = false;
};

// A subfigure's caption or label stands in for the float's until the float's own comes.
void take(const Landmark &landmark, int depth, bool &own, QString &field)
{
    if (own)
        return;
    if (depth == 1) {
        field = landmark.key;
        own = true;
    } else if (field.isEmpty()) {
        field = landmark.key;
    }
}

} // namespace

QList<Row> rows(const QList<Landmark> &landmarks, int shown)
{
    QList<Row> made;
    OpenFloat open;
    const auto close = [&] {
        if (shown & Floats)
            made.append(open.row);
        open = OpenFloat{};
    };
    for (const Landmark &landmark : landmarks) {
        switch (landmark.kind) {
        case Landmark::Kind::FloatBegin:
            if (open.depth++ == 0) {
                const QString type = landmark.key.contains(QLatin1String("table"))
                                         ? QStringLiteral("table")
                                         : QStringLiteral("figure");
                open.row = Row{type, {}, {}, landmark.offset};
            }
            break;
        case Landmark::Kind::FloatEnd:
            if (open.depth > 0 && --open.depth == 0)
                close();
            break;
        case Landmark::Kind::Caption:
            if (open.depth > 0)
                take(landmark, open.depth, open.ownCaption, open.row.name);
            break;
        case Landmark::Kind::Label:
            if (landmark.key.contains(u'#'))
                break;
            if (open.depth > 0)
                take(landmark, open.depth, open.ownLabel, open.row.label);
            else if (shown & Labels)
                made.append(Row{QStringLiteral("label"), landmark.key, {}, landmark.offset});
            break;
        case Landmark::Kind::Bibliography:
            if (shown & Bibliography)
                made.append(Row{QStringLiteral("bibliography"), landmark.key, {}, landmark.offset});
            break;
        default:
            break;
        }
    }
    if (open.depth > 0)
        close();
    return made;
}

QString displayText(const Row &row)
{
    const auto tr = [](const char *text) {
        return QCoreApplication::translate("OutlineLandmarkRows", text);
    };
    if (row.type == QLatin1String("label"))
        return OutlineAppearance::shownName(row.name);
    if (row.type == QLatin1String("bibliography"))
        return tr("Bibliography");
    QString text = row.type == QLatin1String("table") ? tr("Tab.") : tr("Fig.");
    if (!row.name.isEmpty())
        text += u' ' + OutlineAppearance::shownName(row.name);
    if (!row.label.isEmpty())
        text += QStringLiteral(" (%1)").arg(row.label);
    return text;
}

} // namespace OutlineLandmarkRows
