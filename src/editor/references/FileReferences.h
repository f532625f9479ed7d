#pragma once

#include "editor/references/ReferenceRules.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class QSSectionNode;

// What the reference checks read of one file: its tree's nodes in document order,
// each with its own text as read (shared with the node, not copied) and what was
// found in that text. A node whose text is the same as at the last reading keeps
// what was found in it, so that a keystroke scans the node typed in.
//
// Threads: the checking thread's own; read() under the document-model lock, the
// rest without it.
class FileReferences
{
public:
    // Takes the tree's nodes and their texts as they are now. The caller holds the
    // document-model lock; included files are not entered.
    void read(const std::shared_ptr<QSSectionNode> &root);
    // Scans the nodes whose text is new since the last reading and gathers the
    // file's occurrences; without the document-model lock.
    void scan();

    // The tree last read, and the file's name as its root node had it.
    std::shared_ptr<QSSectionNode> root() const { return _root; }
    const QString &name() const { return _name; }
    // Labels (those of "label=" options quiet), references, citation keys, \bibitem
    // keys, xr prefixes and bibliography commands, outside comments; those in
    // verbatim text and text TeX passes over (\iffalse ... \fi) quiet.
    const QList<ReferenceRules::Occurrence> &occurrences() const { return _occurrences; }
    // What the file pulls in that is not among the document's files: the names of
    // include commands the pool could not read ("figure.pdf_tex.tex", as the include
    // node names them) and of \input without braces ("glyphtounicode"); those in
    // verbatim text or text TeX passes over are not read.
    const QStringList &unfollowedIncludes() const { return _unfollowed; }
    // The file pulls in text in a way the outline does not follow (\subfile,
    // \import and their kin).
    bool includesOtherwise() const { return _includesOtherwise; }
    // The class its \documentclass names ("book"); empty when it has none.
    const QString &documentClass() const { return _documentClass; }
    // The commands it defines to typeset their argument as written (\detokenize).
    const QStringList &literalCommands() const { return _literalCommands; }

    // Set when the file's tree changed since it was read.
    bool stale = true;

private:
    struct Found;
    struct Node
    {
        std::shared_ptr<QSSectionNode> node;
        QString text;
        qint32 location = 0;
        bool include = false;
        bool followed = false;              // an include node that holds its file's tree
        QString includeName;                // of an include node
        std::shared_ptr<const Found> found; // none until scanned
    };
    void append(const std::shared_ptr<QSSectionNode> &node, qint32 &location);
    static std::shared_ptr<const Found> find(const Node &node);
    // The stretches of the file in the order of the text.
    QList<std::pair<qint32, qint32>> passedOver() const;

    std::shared_ptr<QSSectionNode> _root;
    QString _name;
    std::vector<Node> _nodes;
    QList<ReferenceRules::Occurrence> _occurrences;
    QStringList _unfollowed;
    bool _includesOtherwise = false;
    QString _documentClass;
    QStringList _literalCommands;
};
