#include "platform/OutlineAppearance.h"

#include <QHash>

QIcon OutlineAppearance::iconForType(const QString &type)
{
    // Icons are loaded when first drawn.
    static const QHash<QString, QString> resources = {
        {QStringLiteral("error"), QStringLiteral(":/errorSourceIcon.svg")},
        {QStringLiteral("warning"), QStringLiteral(":/warningSourceIcon.svg")},
        {QStringLiteral("part"), QStringLiteral(":/partSourceIcon.svg")},
        {QStringLiteral("chapter"), QStringLiteral(":/chapterSourceIcon.svg")},
        {QStringLiteral("section"), QStringLiteral(":/sectionSourceIcon.svg")},
        {QStringLiteral("subsection"), QStringLiteral(":/subsectionSourceIcon.svg")},
        {QStringLiteral("subsubsection"), QStringLiteral(":/subsubsectionSourceIcon.svg")},
        {QStringLiteral("quillsetFile"), QStringLiteral(":/TEX.svg")},
    };
    const QString resource = resources.value(type);
    return resource.isEmpty() ? QIcon() : QIcon(resource);
}

QString OutlineAppearance::shownName(const QString &name)
{
    return name.size() >= 26 ? name.left(15) + QStringLiteral("...") + name.right(7) : name;
}
