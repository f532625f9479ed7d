#include "editor/completion/AcceptedCompletions.h"

#include "platform/UserDefaults.h"

#include <QStringList>

namespace {

// A list entry: the kind's number, a tab, the item's key.
QString entry(CompletionContext::Kind kind, const QString &key)
{
    return QString::number(int(kind)) + u'\t' + key;
}

} // namespace

QString AcceptedCompletions::key(const CompletionItem &item)
{
    return item.name + u'\t' + item.insertion;
}

void AcceptedCompletions::remember(CompletionContext::Kind kind, const CompletionItem &item)
{
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    QStringList accepted = defaults.objectForKey(QSCompletionAccepted).toStringList();
    const QString added = entry(kind, key(item));
    accepted.removeAll(added);
    accepted.prepend(added);
    while (accepted.size() > kept)
        accepted.removeLast();
    defaults.setObject(accepted, QSCompletionAccepted);
}

QHash<QString, int> AcceptedCompletions::ranks(CompletionContext::Kind kind)
{
    const QString head = QString::number(int(kind)) + u'\t';
    QHash<QString, int> ranks;
    for (const QString &accepted :
         UserDefaults::standardUserDefaults().objectForKey(QSCompletionAccepted).toStringList()) {
        if (accepted.startsWith(head))
            ranks.insert(accepted.mid(head.size()), int(ranks.size()));
    }
    return ranks;
}
