#include "model/FileSymbols.h"

#include "model/QSSectionNode.h"

#include <algorithm>

namespace {

// Visits the children in document order, each node's own text before its
// children's, not entering included files.
void gather(const QSSectionNode &node, QString &heading, FileSymbols &symbols)
{
    for (const QSSectionNode::Ptr &child : node.children()) {
        if (!child->isTextNode() && !child->isFileIncludeNode())
            heading = child->nodeName();
        // The landmarks are read in the same walk, on the same thread, so that the
        // outline and the reference checks find them ready.
        child->landmarks();
        for (const Symbol &symbol : child->symbols()) {
            switch (symbol.kind) {
            case Symbol::Kind::Label:
                symbols.labels.append(FileSymbols::Label{symbol.name, heading});
                break;
            case Symbol::Kind::Command:
                symbols.commands.append(symbol);
                break;
            case Symbol::Kind::Environment:
                symbols.environments.append(symbol);
                break;
            case Symbol::Kind::Bibliography:
                symbols.bibliographies.append(symbol.name);
                break;
            }
        }
        if (!child->isFileIncludeNode())
            gather(*child, heading, symbols);
    }
}

} // namespace

FileSymbols FileSymbols::collect(const QSSectionNode &fileNode)
{
    FileSymbols symbols;
    QString heading;
    gather(fileNode, heading, symbols);
    std::stable_sort(symbols.labels.begin(), symbols.labels.end(),
                     [](const Label &left, const Label &right) {
                         return left.name.compare(right.name, Qt::CaseInsensitive) < 0;
                     });
    return symbols;
}
