#include "editor/completion/CompletionCatalog.h"

#include <QFile>
#include <QStringList>

static QString catalogText()
{
    Q_INIT_RESOURCE(completion);
    QFile file(QStringLiteral(":/completion/commands.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

const CompletionCatalog &CompletionCatalog::shared()
{
    static const CompletionCatalog catalog(catalogText());
    return catalog;
}

CompletionCatalog::CompletionCatalog(const QString &text)
{
    const QLatin1String begin("\\begin{");
    QString package;
    for (QStringView line : QStringTokenizer(text, u'\n')) {
        line = line.trimmed();
        if (line.startsWith(u"## ")) {
            package = line.mid(3).trimmed().toString();
        } else if (line.startsWith(begin)) {
            const qsizetype close = line.indexOf(u'}');
            if (close > begin.size())
                _environments.append({line.mid(begin.size(), close - begin.size()).toString(),
                                      line.mid(close + 1).toString(), package, {}});
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
}
