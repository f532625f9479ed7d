#include "editor/references/FileReferences.h"

#include "model/LandmarkScanner.h"
#include "model/QSSectionNode.h"

#include <limits>
#include <unordered_map>

using Kind = Landmark::Kind;

// What one node's text holds for the checks.
struct FileReferences::Found
{
    QList<Landmark> landmarks;    // of the kinds the checks read, offsets in the text
    QList<Landmark> optionLabels; // the keys of "label=" options
    QStringList bracelessInputs;
    bool includesOtherwise = false;
};

namespace {

bool isLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'@';
}

// Whether a % before the position on its line, not escaped, makes it a comment.
bool inComment(QStringView text, qsizetype at)
{
    const qsizetype lineStart = at > 0 ? text.lastIndexOf(u'\n', at - 1) + 1 : 0;
    for (qsizetype i = lineStart; i < at; ++i) {
        if (text[i] == u'\\')
            ++i;
        else if (text[i] == u'%')
            return true;
    }
    return false;
}

// Where the next \name (and no longer name) stands from the position outside
// comments; -1 when none does.
qsizetype nextCommand(QStringView text, qsizetype from, QLatin1String name)
{
    const QString command = u'\\' + QString(name);
    for (qsizetype at = text.indexOf(command, from); at >= 0; at = text.indexOf(command, at + 1)) {
        const qsizetype end = at + command.size();
        if ((end >= text.size() || !isLetter(text[end])) && !inComment(text, at))
            return at;
    }
    return -1;
}

qsizetype skipSpaces(QStringView text, qsizetype at)
{
    while (at < text.size() && text[at].isSpace())
        ++at;
    return at;
}

// The commands that pull in a file the outline does not follow.
bool pullsInOtherwise(QStringView name)
{
    static const QLatin1String names[] = {
        QLatin1String("subfile"),        QLatin1String("import"),
        QLatin1String("subimport"),      QLatin1String("inputfrom"),
        QLatin1String("includefrom"),    QLatin1String("subinputfrom"),
        QLatin1String("subincludefrom"), QLatin1String("includestandalone")};
    for (const QLatin1String known : names) {
        if (name == known)
            return true;
    }
    return false;
}

// Listings, boxes and theorems take their label as an option: "label=lst:a" or
// "label = {lst:a}", after [ or a comma. (A TikZ node's label text is read too: it
// only keeps a reference from being flagged.)
QList<Landmark> optionLabels(QStringView text)
{
    QList<Landmark> labels;
    const QLatin1String word("label");
    for (qsizetype at = text.indexOf(word); at >= 0; at = text.indexOf(word, at + 1)) {
        if (at > 0 && (isLetter(text[at - 1]) || text[at - 1] == u'\\'))
            continue;
        qsizetype i = skipSpaces(text, at + word.size());
        if (i >= text.size() || text[i] != u'=' || inComment(text, at))
            continue;
        i = skipSpaces(text, i + 1);
        qsizetype start = i, end = i;
        if (i < text.size() && text[i] == u'{') {
            start = i + 1;
            end = text.indexOf(u'}', start);
            if (end < 0)
                continue;
        } else {
            while (end < text.size() && text[end] != u',' && text[end] != u']' && text[end] != u'}'
                   && text[end] != u'\n')
                ++end;
        }
        while (start < end && text[start].isSpace())
            ++start;
        while (end > start && text[end - 1].isSpace())
            --end;
        if (end > start)
            labels.append(Landmark{Kind::Label, text.mid(start, end - start).toString(),
                                   qint32(start), qint32(end - start)});
    }
    return labels;
}

// The class of \documentclass[options]{class} (or \documentstyle), the options
// maybe over several lines; empty when the text has none.
QString classOf(QStringView text)
{
    for (const char *command : {"documentclass", "documentstyle"}) {
        const qsizetype at = nextCommand(text, 0, QLatin1String(command));
        if (at < 0)
            continue;
        qsizetype i = skipSpaces(text, at + 1 + qsizetype(qstrlen(command)));
        if (i < text.size() && text[i] == u'[') {
            i = text.indexOf(u']', i);
            if (i < 0)
                return {};
            i = skipSpaces(text, i + 1);
        }
        if (i >= text.size() || text[i] != u'{')
            return {};
        const qsizetype end = text.indexOf(u'}', i);
        return end < 0 ? QString() : text.mid(i + 1, end - i - 1).trimmed().toString();
    }
    return {};
}

} // namespace

void FileReferences::read(const std::shared_ptr<QSSectionNode> &root)
{
    std::vector<Node> before;
    before.swap(_nodes);
    std::unordered_map<const QSSectionNode *, size_t> earlier;
    earlier.reserve(before.size());
    for (size_t i = 0; i < before.size(); ++i)
        earlier.emplace(before[i].node.get(), i);

    _root = root;
    _name = root ? root->nodeName() : QString();
    _nodes.reserve(before.size());
    qint32 location = 0;
    if (root)
        append(root, location);
    for (Node &node : _nodes) {
        const auto found = earlier.find(node.node.get());
        if (found == earlier.end())
            continue;
        const Node &old = before[found->second];
        // An edited node holds a new string: the one read before is still held here.
        if (old.text.size() == node.text.size() && old.text.constData() == node.text.constData())
            node.found = old.found;
    }
    stale = false;
}

void FileReferences::append(const std::shared_ptr<QSSectionNode> &node, qint32 &location)
{
    Node entry;
    entry.node = node;
    entry.text = node->nodeData();
    entry.location = location;
    entry.include = node->isFileIncludeNode();
    location += qint32(entry.text.size());
    if (entry.include) {
        entry.followed = !node->children().isEmpty();
        entry.includeName = node->nodeName();
        _nodes.push_back(std::move(entry));
        return;
    }
    _nodes.push_back(std::move(entry));
    for (const std::shared_ptr<QSSectionNode> &child : node->children())
        append(child, location);
}

// The node's own landmarks are those it keeps, as long as its text is still the one
// read; else (typed in meanwhile) the text read is scanned, so that the places fit
// the text the rest was read with.
std::shared_ptr<const FileReferences::Found> FileReferences::find(const Node &node)
{
    auto found = std::make_shared<Found>();
    QList<Landmark> landmarks;
    {
        std::lock_guard lock(node.node->nodeLock());
        const QString now = node.node->nodeData();
        landmarks = now.size() == node.text.size() && now.constData() == node.text.constData()
                        ? node.node->landmarks()
                        : LandmarkScanner::scan(node.text);
    }
    for (const Landmark &landmark : std::as_const(landmarks)) {
        switch (landmark.kind) {
        case Kind::Label:
        case Kind::Reference:
        case Kind::Citation:
        case Kind::BibItem:
        case Kind::ExternalLabels:
        case Kind::Bibliography:
            found->landmarks.append(landmark);
            break;
        default:
            break;
        }
    }
    const QStringView text(node.text);
    found->optionLabels = optionLabels(text);
    for (qsizetype at = text.indexOf(u'\\'); at >= 0; at = text.indexOf(u'\\', at + 1)) {
        qsizetype end = at + 1;
        while (end < text.size() && isLetter(text[end]))
            ++end;
        const QStringView name = text.mid(at + 1, end - at - 1);
        if (pullsInOtherwise(name) && !inComment(text, at)) {
            found->includesOtherwise = true;
        } else if (name == u"input") {
            const qsizetype start = skipSpaces(text, end);
            qsizetype stop = start;
            while (stop < text.size() && !text[stop].isSpace() && text[stop] != u'{'
                   && text[stop] != u'}' && text[stop] != u'%' && text[stop] != u'\\')
                ++stop;
            if (stop > start && !inComment(text, at))
                found->bracelessInputs << text.mid(start, stop - start).toString();
        }
        at = end - 1;
    }
    return found;
}

// The stretches of the file from \iffalse to the next \fi, which TeX passes over.
QList<std::pair<qint32, qint32>> FileReferences::passedOver() const
{
    QList<std::pair<qint32, qint32>> spans;
    qint32 start = -1;
    for (const Node &node : _nodes) {
        const QStringView text(node.text);
        for (qsizetype at = 0;;) {
            if (start < 0) {
                at = nextCommand(text, at, QLatin1String("iffalse"));
                if (at < 0)
                    break;
                start = node.location + qint32(at);
                at += 8;
            } else {
                at = nextCommand(text, at, QLatin1String("fi"));
                if (at < 0)
                    break;
                spans.append({start, node.location + qint32(at)});
                start = -1;
                at += 3;
            }
        }
    }
    if (start >= 0)
        spans.append({start, std::numeric_limits<qint32>::max()});
    return spans;
}

void FileReferences::scan()
{
    for (Node &node : _nodes) {
        if (!node.found)
            node.found = find(node);
    }
    _unfollowed.clear();
    _includesOtherwise = false;
    _documentClass.clear();
    for (const Node &node : _nodes) {
        if (node.include && !node.followed)
            _unfollowed << node.includeName;
        _unfollowed << node.found->bracelessInputs;
        _includesOtherwise = _includesOtherwise || node.found->includesOtherwise;
        if (_documentClass.isEmpty())
            _documentClass = classOf(node.text);
    }

    const QList<std::pair<qint32, qint32>> passed = passedOver();
    const auto passedOverAt = [&passed](qint32 offset) {
        for (const auto &[from, to] : passed) {
            if (offset >= from && offset < to)
                return true;
        }
        return false;
    };
    _occurrences.clear();
    int line = 1;
    for (const Node &node : _nodes) {
        const QStringView text(node.text);
        qsizetype counted = 0; // the newlines before this are in line
        const auto add = [&](const Landmark &landmark, bool option) {
            if (landmark.offset > counted) {
                line += int(text.mid(counted, landmark.offset - counted).count(u'\n'));
                counted = landmark.offset;
            }
            const qint32 offset = node.location + landmark.offset;
            _occurrences.append({landmark.kind, landmark.key, offset, landmark.length, line,
                                 option || passedOverAt(offset)});
        };
        // Both lists are in the order of the text: merged, the lines are counted once.
        const QList<Landmark> &landmarks = node.found->landmarks;
        const QList<Landmark> &options = node.found->optionLabels;
        qsizetype i = 0, j = 0;
        while (i < landmarks.size() || j < options.size()) {
            if (j >= options.size()
                || (i < landmarks.size() && landmarks[i].offset <= options[j].offset))
                add(landmarks[i++], false);
            else
                add(options[j++], true);
        }
        line += int(text.mid(counted).count(u'\n'));
    }
}
