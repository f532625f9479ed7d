#pragma once

#include "model/QSFile.h"
#include "model/QSSectionNode.h"

#include <QStringList>

using Node = QSSectionNode::Ptr;

// The flat node list that parsing makes, before any restructuring.
inline Node flatTree(const QString &text)
{
    return QSSectionNode::initWithData(text, QSNodeType::File, QStringLiteral("Untitled"), {},
                                       nullptr, {});
}

// A file's tree as opened: parsed and nested. The files stay for the whole run, as
// the nodes only point back at them weakly.
inline Node nestedTree(const QString &text)
{
    static QList<std::shared_ptr<QSFile>> files;
    files.append(QSFile::initUntitledFileWithTemplateString(text, QStringLiteral("Untitled")));
    return files.last()->treeRootNode();
}

inline Node textNode(const QString &text, const Node &parent = nullptr)
{
    return QSSectionNode::initWithData(text, QSNodeType::Text, QStringLiteral("textnode"), {},
                                       parent, {});
}

// The tree in one line: text nodes by their text without line feeds ("_" when
// empty), commands by name with their children in brackets.
inline QString shape(const Node &node)
{
    QStringList parts;
    for (const Node &child : node->children()) {
        QString part = child->isTextNode() ? child->nodeData().remove(u'\n') : child->nodeName();
        if (part.isEmpty())
            part = QStringLiteral("_");
        if (!child->isTextNode() && !child->isFileIncludeNode() && child->countOfChildren() > 0)
            part += u'(' + shape(child) + u')';
        parts << part;
    }
    return parts.join(u',');
}

// The whole tree in one line: every node with its kind, name and own text, each
// section's children in brackets. Two trees that give the same line are the same
// node for node, text nodes included. Include nodes show their command, not the
// included file's tree (whether that file is found depends on the folder).
inline QString wholeTree(const Node &node)
{
    QStringList parts;
    for (const Node &child : node->children()) {
        QString text = child->nodeData();
        text.replace(u'\n', QStringLiteral("\\n"));
        QString part = child->nodeType() + u'"' + text + u'"';
        if (!child->isTextNode() && !child->isFileIncludeNode())
            part += u' ' + child->nodeName() + u'(' + wholeTree(child) + u')';
        parts << part;
    }
    return parts.join(u' ');
}

// The tree a fresh parse of the text gives.
inline QString freshTree(const QString &text)
{
    const Node root = flatTree(text);
    root->correctPositionsInTree();
    return wholeTree(root);
}
