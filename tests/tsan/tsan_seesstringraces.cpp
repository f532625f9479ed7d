// Built only under ThreadSanitizer, and expected to be reported by it: two threads
// rename one section node with no lock between them. Nearly every race in the
// program's own code passes through a QString or a QList like this one, so a
// suppression that hides this report would hide those races too.
#include "model/QSSectionNode.h"

#include <QString>
#include <cstdio>
#include <thread>

int main()
{
    QSSectionNode node;
    node.setNodeName(QStringLiteral("Introduction"));
    const auto rename = [&node](const QString &name) {
        for (int i = 0; i < 1000; ++i)
            node.setNodeName(name + QString::number(i));
    };
    std::thread first(rename, QStringLiteral("Methods "));
    std::thread second(rename, QStringLiteral("Results "));
    first.join();
    second.join();
    std::printf("renamed to %s with no race reported\n", qPrintable(node.nodeName()));
    return 0;
}
