#include "editor/references/FileReferences.h"

#include "model/LandmarkScanner.h"
#include "model/QSSectionNode.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <unordered_map>

using Kind = Landmark::Kind;

namespace {

// Where verbatim text, or text TeX passes over, begins or ends.
struct Marker
{
    enum class Type { VerbatimBegin, VerbatimEnd, IfFalse, Fi };
    qint32 offset;
    Type type;
    QString environment; // of a verbatim one
};

} // namespace

// What one node's text holds for the checks, offsets in the text. Whether a command
// stands in verbatim text or in text TeX passes over is told when the file is put
// together, for such text may begin in one node and end in another.
struct FileReferences::Found
{
    QList<Landmark> landmarks;    // of the kinds the checks read
    QList<QStringList> enclosing; // the commands around each landmark, innermost first
    QList<Landmark> optionLabels; // the keys of "label=" options
    QStringList literalCommands;  // defined here
    // Commands outside comments, and what they name.
    QList<std::pair<qint32, QString>> bracelessInputs;
    QList<qint32> otherInclusions;
    QList<std::pair<qint32, QString>> documentClasses;
    // Where verbatim text and text TeX passes over begin and end.
    QList<Marker> markers;
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

qsizetype skipSpaces(QStringView text, qsizetype at)
{
    while (at < text.size() && text[at].isSpace())
        ++at;
    return at;
}

// The braced argument that starts at the position, after spaces: [start, end) of
// its inside, or none.
std::optional<std::pair<qsizetype, qsizetype>> braced(QStringView text, qsizetype at)
{
    at = skipSpaces(text, at);
    if (at >= text.size() || text[at] != u'{')
        return std::nullopt;
    const qsizetype end = text.indexOf(u'}', at + 1);
    if (end < 0)
        return std::nullopt;
    return std::pair{at + 1, end};
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

// How far back an argument around a landmark is looked for: arguments of commands
// that print code are short.
constexpr qsizetype argumentReach = 500;

// The commands whose braced arguments hold the position, innermost first, as far as
// argumentReach back: "\code{\cite{a1}}" holds a1 in cite's and code's.
QStringList enclosingCommands(QStringView text, qsizetype at)
{
    QStringList names;
    int depth = 0;
    const auto escaped = [&text](qsizetype i) {
        qsizetype backslashes = 0;
        while (i - backslashes > 0 && text[i - backslashes - 1] == u'\\')
            ++backslashes;
        return backslashes % 2 == 1;
    };
    for (qsizetype i = at - 1; i >= 0 && i >= at - argumentReach; --i) {
        if (text[i] == u'}' && !escaped(i)) {
            ++depth;
        } else if (text[i] == u'{' && !escaped(i)) {
            if (depth > 0) {
                --depth;
                continue;
            }
            qsizetype end = i;
            while (end > 0 && text[end - 1].isSpace())
                --end;
            qsizetype start = end;
            while (start > 0 && isLetter(text[start - 1]))
                --start;
            if (start > 0 && start < end && text[start - 1] == u'\\')
                names << text.mid(start, end - start).toString();
        }
    }
    return names;
}

// The command a definition starting after its own name (\newcommand, \def and their
// kin) defines, when it typesets its argument as written: "\newcommand*{\code}[1]
// {\detokenize{#1}}" defines code so.
QString literalCommandAt(QStringView text, qsizetype at, bool argumentSpecification)
{
    at = skipSpaces(text, at);
    if (at < text.size() && text[at] == u'*')
        at = skipSpaces(text, at + 1);
    const bool braced = at < text.size() && text[at] == u'{';
    if (braced)
        at = skipSpaces(text, at + 1);
    if (at >= text.size() || text[at] != u'\\')
        return {};
    qsizetype end = at + 1;
    while (end < text.size() && isLetter(text[end]))
        ++end;
    const QString name = text.mid(at + 1, end - at - 1).toString();
    // The body: the braced group after the arguments' description.
    qsizetype open = text.indexOf(u'{', braced ? text.indexOf(u'}', end) : end);
    if (argumentSpecification && open >= 0)
        open = text.indexOf(u'{', text.indexOf(u'}', open) + 1);
    if (name.isEmpty() || open < 0 || open - end > 100)
        return {};
    int depth = 0;
    for (qsizetype i = open; i < text.size() && i < open + 2000; ++i) {
        if (text[i] == u'\\') {
            qsizetype word = i + 1;
            while (word < text.size() && isLetter(text[word]))
                ++word;
            const QStringView command = text.mid(i + 1, word - i - 1);
            if (command == u"detokenize" || command == u"string" || command == u"meaning"
                || command == u"scantokens")
                return name;
            i = qMax(i, word - 1);
        } else if (text[i] == u'{') {
            ++depth;
        } else if (text[i] == u'}' && --depth == 0) {
            break;
        }
    }
    return {};
}

// The class of \documentclass[options]{class} from after the command's name, the
// options maybe over several lines; empty when it names none.
QString classAt(QStringView text, qsizetype at)
{
    at = skipSpaces(text, at);
    if (at < text.size() && text[at] == u'[') {
        at = text.indexOf(u']', at);
        if (at < 0)
            return {};
        ++at;
    }
    const auto name = braced(text, at);
    return name ? text.mid(name->first, name->second - name->first).trimmed().toString()
                : QString();
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
    const QStringView text(node.text);
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
    found->enclosing.reserve(found->landmarks.size());
    for (const Landmark &landmark : std::as_const(found->landmarks))
        found->enclosing.append(enclosingCommands(text, landmark.offset));
    found->optionLabels = optionLabels(text);
    for (qsizetype at = text.indexOf(u'\\'); at >= 0; at = text.indexOf(u'\\', at + 1)) {
        qsizetype end = at + 1;
        while (end < text.size() && isLetter(text[end]))
            ++end;
        const QStringView name = text.mid(at + 1, end - at - 1);
        const qint32 offset = qint32(at);
        at = end - 1;
        if (name.isEmpty())
            continue;
        if (name == u"end") {
            // Verbatim text has no comments: its end is wherever it is written.
            if (const auto environment = braced(text, end)) {
                const QStringView written =
                    text.mid(environment->first, environment->second - environment->first);
                if (LandmarkScanner::isVerbatim(written))
                    found->markers.append({offset, Marker::Type::VerbatimEnd, written.toString()});
            }
            continue;
        }
        if (inComment(text, offset))
            continue;
        if (name == u"begin") {
            if (const auto environment = braced(text, end)) {
                const QStringView written =
                    text.mid(environment->first, environment->second - environment->first);
                if (LandmarkScanner::isVerbatim(written))
                    found->markers.append(
                        {offset, Marker::Type::VerbatimBegin, written.toString()});
            }
        } else if (name == u"iffalse") {
            found->markers.append({offset, Marker::Type::IfFalse, {}});
        } else if (name == u"fi") {
            found->markers.append({offset, Marker::Type::Fi, {}});
        } else if (pullsInOtherwise(name)) {
            found->otherInclusions.append(offset);
        } else if (name == u"newcommand" || name == u"renewcommand" || name == u"providecommand"
                   || name == u"DeclareRobustCommand" || name == u"def"
                   || name.endsWith(u"DocumentCommand")) {
            const QString literal = literalCommandAt(text, end, name.endsWith(u"DocumentCommand"));
            if (!literal.isEmpty())
                found->literalCommands << literal;
        } else if (name == u"documentclass" || name == u"documentstyle") {
            found->documentClasses.append({offset, classAt(text, end)});
        } else if (name == u"input") {
            const qsizetype start = skipSpaces(text, end);
            qsizetype stop = start;
            while (stop < text.size() && !text[stop].isSpace() && text[stop] != u'{'
                   && text[stop] != u'}' && text[stop] != u'%' && text[stop] != u'\\')
                ++stop;
            if (stop > start)
                found->bracelessInputs.append({offset, text.mid(start, stop - start).toString()});
        }
    }
    return found;
}

// The stretches of the file that TeX does not read as commands: verbatim text, and
// what lies from \iffalse to the next \fi.
QList<std::pair<qint32, qint32>> FileReferences::passedOver() const
{
    QList<std::pair<qint32, qint32>> spans;
    qint32 start = -1;
    Marker::Type closing = Marker::Type::Fi;
    QString environment;
    for (const Node &node : _nodes) {
        for (const Marker &marker : node.found->markers) {
            const qint32 offset = node.location + marker.offset;
            if (start < 0) {
                if (marker.type == Marker::Type::VerbatimBegin) {
                    closing = Marker::Type::VerbatimEnd;
                    environment = marker.environment;
                } else if (marker.type == Marker::Type::IfFalse) {
                    closing = Marker::Type::Fi;
                } else {
                    continue;
                }
                start = offset;
            } else if (marker.type == closing && marker.environment == environment) {
                spans.append({start, offset});
                start = -1;
                environment.clear();
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
    const QList<std::pair<qint32, qint32>> passed = passedOver();
    const auto passedOverAt = [&passed](qint32 offset) {
        // The spans are in the order of the text and do not overlap.
        const auto after = std::upper_bound(
            passed.cbegin(), passed.cend(), offset,
            [](qint32 value, const std::pair<qint32, qint32> &span) { return value < span.first; });
        return after != passed.cbegin() && offset < std::prev(after)->second;
    };

    _unfollowed.clear();
    _includesOtherwise = false;
    _documentClass.clear();
    _literalCommands.clear();
    for (const Node &node : _nodes) {
        _literalCommands << node.found->literalCommands;
        if (node.include && !node.followed && !passedOverAt(node.location))
            _unfollowed << node.includeName;
        for (const auto &[offset, name] : node.found->bracelessInputs) {
            if (!passedOverAt(node.location + offset))
                _unfollowed << name;
        }
        for (const qint32 offset : node.found->otherInclusions)
            _includesOtherwise = _includesOtherwise || !passedOverAt(node.location + offset);
        for (const auto &[offset, name] : node.found->documentClasses) {
            if (_documentClass.isEmpty() && !passedOverAt(node.location + offset))
                _documentClass = name;
        }
    }

    _occurrences.clear();
    int line = 1;
    for (const Node &node : _nodes) {
        const QStringView text(node.text);
        qsizetype counted = 0; // the newlines before this are in line
        const auto add = [&](const Landmark &landmark, const QStringList &enclosing, bool option) {
            if (landmark.offset > counted) {
                line += int(text.mid(counted, landmark.offset - counted).count(u'\n'));
                counted = landmark.offset;
            }
            const qint32 offset = node.location + landmark.offset;
            _occurrences.append({landmark.kind, landmark.key,
                                 ReferenceRules::matchedKey(landmark.kind, landmark.key), offset,
                                 landmark.length, line, option || passedOverAt(offset), enclosing});
        };
        // Both lists are in the order of the text: merged, the lines are counted once.
        const QList<Landmark> &landmarks = node.found->landmarks;
        const QList<Landmark> &options = node.found->optionLabels;
        qsizetype i = 0, j = 0;
        while (i < landmarks.size() || j < options.size()) {
            if (j >= options.size()
                || (i < landmarks.size() && landmarks[i].offset <= options[j].offset)) {
                add(landmarks[i], node.found->enclosing[i], false);
                ++i;
            } else {
                add(options[j++], {}, true);
            }
        }
        line += int(text.mid(counted).count(u'\n'));
    }
}
