#include "editor/references/ReferenceRules.h"

#include "editor/references/ReferenceIndex.h"

#include <QCoreApplication>
#include <QHash>
#include <algorithm>

namespace ReferenceRules {

namespace {

using Kind = Landmark::Kind;

QString tr(const char *text)
{
    return QCoreApplication::translate("ReferenceRules", text);
}

struct Place
{
    const File *file;
    const Occurrence *occurrence;
};

// "refs.bib", "a.bib or b.bib", "a.bib, b.bib or c.bib".
QString listed(const QStringList &names)
{
    if (names.size() < 2)
        return names.value(0);
    return tr("%1 or %2")
        .arg(names.mid(0, names.size() - 1).join(QStringLiteral(", ")), names.last());
}

} // namespace

QList<ReferenceProblem> check(const Document &document)
{
    const ReferenceIndex &index = *document.index;
    const auto literal = [&](const Occurrence &occurrence) {
        for (const QString &command : occurrence.enclosing) {
            if (document.literalCommands.contains(command))
                return true;
        }
        return false;
    };
    // Only the labels defined more than once are gathered with their places.
    QHash<QString, QList<Place>> duplicates; // in document order
    QStringList madeLabelStarts;             // the text before the first # or \ of a made label
    QStringList externalPrefixes;
    bool printsFromDatabases = false;
    for (const File &file : document.files) {
        for (const Occurrence &occurrence : file.occurrences) {
            switch (occurrence.kind) {
            case Kind::Label:
                if (isMade(occurrence.key)) {
                    qsizetype end = 0;
                    while (end < occurrence.matched.size() && occurrence.matched[end] != u'#'
                           && occurrence.matched[end] != u'\\')
                        ++end;
                    madeLabelStarts << occurrence.matched.left(end);
                } else if (!occurrence.quiet && index.labelDefinitions(occurrence.key) > 1
                           && !literal(occurrence)) {
                    duplicates[occurrence.key].append({&file, &occurrence});
                }
                break;
            case Kind::ExternalLabels:
                externalPrefixes << occurrence.matched;
                break;
            case Kind::Bibliography:
                if (occurrence.key != QLatin1String("thebibliography"))
                    printsFromDatabases = true;
                break;
            default:
                break;
            }
        }
    }

    // Citations are looked up where BibTeX, biber or the document's own list would
    // find them; a database not read, or one printed from that is not named here,
    // may hold any key.
    bool checksCitations = document.whole;
    if (!document.databases.isEmpty())
        checksCitations = checksCitations && document.databasesRead;
    else
        checksCitations = checksCitations && !printsFromDatabases && index.hasBibItems();
    const QString databases = listed(document.databases);

    const auto resolves = [&](const QString &key) {
        if (index.definesLabel(key))
            return true;
        for (const QString &start : std::as_const(madeLabelStarts)) {
            if (key.startsWith(start))
                return true;
        }
        for (const QString &prefix : std::as_const(externalPrefixes)) {
            if (key.startsWith(prefix))
                return true;
        }
        return false;
    };

    QList<ReferenceProblem> problems;
    for (const File &file : document.files) {
        for (const Occurrence &occurrence : file.occurrences) {
            if (occurrence.quiet)
                continue;
            QString message;
            ReferenceProblem::Kind kind = ReferenceProblem::Kind::MissingLabel;
            switch (occurrence.kind) {
            case Kind::Reference:
                if (!document.whole || isMade(occurrence.key) || resolves(occurrence.matched)
                    || literal(occurrence))
                    continue;
                message = tr("No \\label{%1} in this document").arg(occurrence.key);
                break;
            case Kind::Citation:
                if (!checksCitations || occurrence.key == QLatin1String("*")
                    || document.databaseKeys.contains(occurrence.matched)
                    || index.hasBibItem(occurrence.matched) || isMade(occurrence.key)
                    || literal(occurrence))
                    continue;
                kind = ReferenceProblem::Kind::UnknownCitation;
                message = databases.isEmpty()
                              ? tr("No \\bibitem{%1} in this document").arg(occurrence.key)
                              : tr("No entry \"%1\" in %2").arg(occurrence.key, databases);
                break;
            case Kind::Label: {
                const auto places = duplicates.constFind(occurrence.key);
                if (places == duplicates.cend() || places->size() < 2)
                    continue;
                const auto self =
                    std::find_if(places->cbegin(), places->cend(), [&](const Place &place) {
                        return place.occurrence == &occurrence;
                    });
                if (self == places->cend())
                    continue; // a literal one
                // The first definition names the second; every other one, the first.
                const Place &other = self == places->cbegin() ? places->at(1) : places->first();
                kind = ReferenceProblem::Kind::DuplicateLabel;
                message = tr("\\label{%1} is also defined in %2, line %3")
                              .arg(occurrence.key, other.file->name)
                              .arg(other.occurrence->line);
                break;
            }
            default:
                continue;
            }
            problems.append({kind, file.file, occurrence.key, occurrence.offset, occurrence.length,
                             occurrence.line, message});
        }
    }
    return problems;
}

bool isMade(const QString &key)
{
    return key.contains(u'#') || key.contains(u'\\');
}

QString matchedKey(Landmark::Kind kind, const QString &key)
{
    switch (kind) {
    case Kind::Citation:
    case Kind::BibItem:
        return key.toLower();
    case Kind::Label:
    case Kind::Reference:
    case Kind::ExternalLabels: {
        const auto space =
            std::find_if(key.cbegin(), key.cend(), [](QChar c) { return c.isSpace(); });
        if (space == key.cend())
            return key;
        QString packed;
        packed.reserve(key.size());
        for (const QChar c : key) {
            if (!c.isSpace())
                packed += c;
        }
        return packed;
    }
    default:
        return key;
    }
}

} // namespace ReferenceRules
