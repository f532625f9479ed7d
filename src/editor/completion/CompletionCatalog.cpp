#include "editor/completion/CompletionCatalog.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QStringList>

// Outside any namespace: the resource's initializer is declared where this stands.
static QString resourceText(const QString &name)
{
    Q_INIT_RESOURCE(completion);
    QFile file(QStringLiteral(":/completion/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

namespace {

const QLatin1String begin("\\begin{");

// The environment's name of a "\begin{name}..." line, else nothing.
QStringView environmentName(QStringView line)
{
    if (!line.startsWith(begin))
        return {};
    const qsizetype close = line.indexOf(u'}');
    return close > begin.size() ? line.mid(begin.size(), close - begin.size()) : QStringView();
}

// Frequent entries come first, as ranked; the others follow in the catalog's order.
void setOrder(QList<CompletionItem> &items, const QHash<QString, int> &ranks, QSet<QString> &seen)
{
    const int ranked = int(ranks.size());
    for (qsizetype i = 0; i < items.size(); ++i) {
        const auto rank = ranks.constFind(items[i].name);
        if (rank != ranks.constEnd())
            seen.insert(items[i].name);
        items[i].order = rank != ranks.constEnd() ? *rank : ranked + int(i);
    }
}

} // namespace

const CompletionCatalog &CompletionCatalog::shared()
{
    static const CompletionCatalog catalog(resourceText(QStringLiteral("commands.txt")),
                                           resourceText(QStringLiteral("frequent.txt")));
    return catalog;
}

CompletionCatalog::CompletionCatalog(const QString &text, const QString &frequent)
{
    QString package;
    for (QStringView line : QStringTokenizer(text, u'\n')) {
        line = line.trimmed();
        if (line.startsWith(u"## ")) {
            package = line.mid(3).trimmed().toString();
        } else if (const QStringView name = environmentName(line); !name.isEmpty()) {
            _environments.append({name.toString(),
                                  line.mid(begin.size() + name.size() + 1).toString(),
                                  package,
                                  {}});
        } else if (line.startsWith(u'\\')) {
            qsizetype end = 1;
            while (end < line.size() && (line[end].isLetter() || line[end] == u'@'))
                ++end;
            if (end < line.size() && line[end] == u'*')
                ++end;
            // Symbols like \, and \[ are their own names.
            if (end == 1 && line.size() > 1)
                end = 2;
            _commands.append({line.left(end).toString(), line.toString(), package, {}});
        }
    }

    QHash<QString, int> commandRanks, environmentRanks;
    QStringList written;
    for (QStringView line : QStringTokenizer(frequent, u'\n')) {
        line = line.trimmed();
        if (!line.startsWith(u'\\'))
            continue;
        written << line.toString();
        if (const QStringView name = environmentName(line); !name.isEmpty())
            environmentRanks.insert(name.toString(), int(environmentRanks.size()));
        else
            commandRanks.insert(line.toString(), int(commandRanks.size()));
    }
    QSet<QString> seenCommands, seenEnvironments;
    setOrder(_commands, commandRanks, seenCommands);
    setOrder(_environments, environmentRanks, seenEnvironments);
    for (const QString &line : std::as_const(written)) {
        const QStringView name = environmentName(line);
        if (name.isEmpty() ? !seenCommands.contains(line)
                           : !seenEnvironments.contains(name.toString()))
            _unknownFrequentNames << line;
    }
}
