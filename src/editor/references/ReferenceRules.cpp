#include "editor/references/ReferenceRules.h"

#include <QCoreApplication>
#include <QHash>

namespace ReferenceRules {

namespace {

using Kind = Landmark::Kind;

// A key that TeX makes from a macro's parameter or a command: what it is cannot be
// read here.
bool isMade(const QString &key)
{
    return key.contains(u'#') || key.contains(u'\\');
}

// A key as references and labels are matched: without spaces and line ends, which
// the argument of a command that spans lines, or is written in expl3's syntax, holds
// where TeX reads none.
QString spaceless(const QString &key)
{
    QString packed;
    packed.reserve(key.size());
    for (const QChar c : key) {
        if (!c.isSpace())
            packed += c;
    }
    return packed;
}

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
    const auto literal = [&](const Occurrence &occurrence) {
        for (const QString &command : occurrence.enclosing) {
            if (document.literalCommands.contains(command))
                return true;
        }
        return false;
    };
    QHash<QString, QList<Place>> labels; // those that can be flagged, in document order
    QSet<QString> defined;               // every label, spaceless
    QStringList madeLabelStarts;         // the text before the first # or \ of a made label
    QStringList externalPrefixes;
    QSet<QString> bibItems;
    bool printsFromDatabases = false;
    for (const File &file : document.files) {
        for (const Occurrence &occurrence : file.occurrences) {
            switch (occurrence.kind) {
            case Kind::Label:
                if (isMade(occurrence.key)) {
                    qsizetype end = 0;
                    while (end < occurrence.key.size() && occurrence.key[end] != u'#'
                           && occurrence.key[end] != u'\\')
                        ++end;
                    madeLabelStarts << spaceless(occurrence.key.left(end));
                    break;
                }
                defined.insert(spaceless(occurrence.key));
                if (!occurrence.quiet && !literal(occurrence))
                    labels[occurrence.key].append({&file, &occurrence});
                break;
            case Kind::ExternalLabels:
                externalPrefixes << spaceless(occurrence.key);
                break;
            case Kind::BibItem:
                bibItems.insert(occurrence.key.toLower());
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
        checksCitations = checksCitations && !printsFromDatabases && !bibItems.isEmpty();
    const QString databases = listed(document.databases);

    const auto resolves = [&](const QString &written) {
        const QString key = spaceless(written);
        if (defined.contains(key))
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
            if (occurrence.quiet || isMade(occurrence.key) || literal(occurrence))
                continue;
            ReferenceProblem problem{{},
                                     file.file,
                                     occurrence.key,
                                     occurrence.offset,
                                     occurrence.length,
                                     occurrence.line,
                                     {}};
            switch (occurrence.kind) {
            case Kind::Reference:
                if (!document.whole || resolves(occurrence.key))
                    continue;
                problem.kind = ReferenceProblem::Kind::MissingLabel;
                problem.message = tr("No \\label{%1} in this document").arg(occurrence.key);
                break;
            case Kind::Citation: {
                const QString key = occurrence.key.toLower();
                if (!checksCitations || occurrence.key == QLatin1String("*")
                    || document.databaseKeys.contains(key) || bibItems.contains(key))
                    continue;
                problem.kind = ReferenceProblem::Kind::UnknownCitation;
                problem.message = databases.isEmpty()
                                      ? tr("No \\bibitem{%1} in this document").arg(occurrence.key)
                                      : tr("No entry \"%1\" in %2").arg(occurrence.key, databases);
                break;
            }
            case Kind::Label: {
                const QList<Place> &places = labels.value(occurrence.key);
                if (places.size() < 2)
                    continue;
                // The first definition names the second; every other one, the first.
                const Place &other =
                    places.first().occurrence == &occurrence ? places.at(1) : places.first();
                problem.kind = ReferenceProblem::Kind::DuplicateLabel;
                problem.message = tr("\\label{%1} is also defined in %2, line %3")
                                      .arg(occurrence.key, other.file->name)
                                      .arg(other.occurrence->line);
                break;
            }
            default:
                continue;
            }
            problems.append(problem);
        }
    }
    return problems;
}

} // namespace ReferenceRules
