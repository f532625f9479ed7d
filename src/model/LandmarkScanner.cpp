#include "model/LandmarkScanner.h"

#include <QSet>

namespace {

using Kind = Landmark::Kind;

bool isLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'@';
}

// What a command's arguments hold, for the commands that name landmarks.
enum class Reads {
    Label,          // [..]{label}
    Reference,      // *[..]{a}
    References,     // *{a,b}, the lists of cleveref and zref-clever
    ReferenceRange, // *{a}{b}
    HyperRef,       // [label]{text}
    Citations,      // *(..)[..]{a,b}
    MultiCitations, // *(..)(..)[..]{a,b}[..]{c}...
    BibItem,        // [..]{key}
    Caption,        // *[..]{text}
    Bibliography,   // the command alone
    External,       // [prefix]{file}
    Verb,           // *<delimiter>text<delimiter>
    Listing         // [..]<delimiter>text<delimiter> or [..]{text}
};

const QHash<QString, Reads> &commands()
{
    static const QHash<QString, Reads> table = [] {
        QHash<QString, Reads> t;
        for (const char *name : {"label", "zlabel"})
            t.insert(QLatin1String(name), Reads::Label);
        for (const char *name :
             {"ref",        "eqref", "pageref",  "autoref", "Autoref",  "nameref",  "Nameref",
              "vref",       "Vref",  "vpageref", "subref",  "namecref", "nameCref", "Namecref",
              "lcnamecref", "fref",  "Fref",     "zref",    "zpageref", "zvref"})
            t.insert(QLatin1String(name), Reads::Reference);
        for (const char *name : {"cref", "Cref", "cpageref", "Cpageref", "labelcref", "zcref"})
            t.insert(QLatin1String(name), Reads::References);
        for (const char *name : {"crefrange", "Crefrange", "cpagerefrange", "Cpagerefrange",
                                 "vrefrange", "vpagerefrange"})
            t.insert(QLatin1String(name), Reads::ReferenceRange);
        t.insert(QStringLiteral("hyperref"), Reads::HyperRef);
        for (const char *name :
             {"cite", "Cite", "citep", "citet", "Citep", "Citet", "citealp", "citealt", "Citealp",
              "Citealt", "citeauthor", "Citeauthor", "citefullauthor", "Citefullauthor", "citeyear",
              "citeyearpar", "citenum", "citetalias", "citepalias", "parencite", "Parencite",
              "footcite", "footcitetext", "textcite", "Textcite", "smartcite", "Smartcite",
              "autocite", "Autocite", "supercite", "fullcite", "footfullcite", "citetitle",
              "Citetitle", "citedate", "citeurl", "citeA", "citeNP", "nocite",
              // biblatex's low-level access to an entry's data
              "citename", "citelist", "citefield", "citeurldate", "notecite", "Notecite",
              "pnotecite", "Pnotecite", "fnotecite", "citeonline",
              // biblatex's entry sets: a key starred ("*key") joins the set
              "mcite", "Mcite", "mparencite", "Mparencite", "mfootcite", "mfootcitetext",
              "mtextcite", "Mtextcite", "msupercite", "mautocite", "Mautocite", "msmartcite",
              "Msmartcite"})
            t.insert(QLatin1String(name), Reads::Citations);
        for (const char *name : {"cites", "Cites", "parencites", "Parencites", "footcites",
                                 "footcitetexts", "textcites", "Textcites", "smartcites",
                                 "Smartcites", "autocites", "Autocites", "supercites"})
            t.insert(QLatin1String(name), Reads::MultiCitations);
        t.insert(QStringLiteral("bibitem"), Reads::BibItem);
        t.insert(QStringLiteral("caption"), Reads::Caption);
        t.insert(QStringLiteral("bibliography"), Reads::Bibliography);
        t.insert(QStringLiteral("printbibliography"), Reads::Bibliography);
        t.insert(QStringLiteral("externaldocument"), Reads::External);
        t.insert(QStringLiteral("verb"), Reads::Verb);
        t.insert(QStringLiteral("lstinline"), Reads::Listing);
        return t;
    }();
    return table;
}

// The floats of LaTeX and of the packages that add floats (rotating, wrapfig,
// subcaption, sidecap, the Tufte classes), starred or not.
bool isFloat(QStringView environment)
{
    static const QSet<QString> floats = {
        QStringLiteral("figure"),         QStringLiteral("table"),
        QStringLiteral("sidewaysfigure"), QStringLiteral("sidewaystable"),
        QStringLiteral("wrapfigure"),     QStringLiteral("wraptable"),
        QStringLiteral("subfigure"),      QStringLiteral("subtable"),
        QStringLiteral("SCfigure"),       QStringLiteral("SCtable"),
        QStringLiteral("marginfigure"),   QStringLiteral("margintable")};
    if (environment.endsWith(u'*'))
        environment.chop(1);
    return floats.contains(environment.toString());
}

class Reader
{
public:
    explicit Reader(QStringView text)
        : _text(text)
    {}

    QList<Landmark> scan()
    {
        findShortVerbs();
        while (_at < _text.size()) {
            const QChar c = _text[_at++];
            if (c == u'%')
                skipLine();
            else if (c == u'\\')
                command(_at - 1);
            else if (isShortVerb(c, _at - 1))
                skipShortVerb(c);
        }
        return _landmarks;
    }
    // What the scan passed over, in order.
    const QList<LandmarkScanner::Skipped> &skipped() const { return _skipped; }

private:
    // The place of a group's inside: [start, end).
    struct Span
    {
        qsizetype start = -1;
        qsizetype end = -1;
        bool found() const { return start >= 0; }
    };

    // \MakeShortVerb{\|} makes |text| verbatim from there on, as \verb|text|.
    void findShortVerbs()
    {
        static const QString declaration = QStringLiteral("\\MakeShortVerb");
        for (qsizetype at = _text.indexOf(declaration); at >= 0;
             at = _text.indexOf(declaration, at + 1)) {
            qsizetype i = at + declaration.size();
            if (i < _text.size() && _text[i] == u'*')
                ++i;
            if (i + 3 < _text.size() && _text[i] == u'{' && _text[i + 1] == u'\\'
                && _text[i + 3] == u'}')
                _shortVerbs.append({_text[i + 2], i + 4});
        }
    }
    bool isShortVerb(QChar c, qsizetype at) const
    {
        for (const auto &[delimiter, from] : _shortVerbs)
            if (c == delimiter && at >= from)
                return true;
        return false;
    }
    void skipShortVerb(QChar delimiter)
    {
        const qsizetype end = _text.indexOf(delimiter, _at);
        const qsizetype line = _text.indexOf(u'\n', _at);
        if (end >= 0 && (line < 0 || end < line)) {
            _skipped.append({_at, end, false});
            _at = end + 1;
        }
    }

    void skipLine()
    {
        const qsizetype end = _text.indexOf(u'\n', _at);
        _skipped.append({_at, end < 0 ? _text.size() : end, true});
        _at = end < 0 ? _text.size() : end + 1;
    }

    // Spaces, and one line end, as TeX passes over them between arguments.
    void skipSpaces()
    {
        bool lineEnd = false;
        while (_at < _text.size()) {
            const QChar c = _text[_at];
            if (c == u'\n') {
                if (lineEnd)
                    return;
                lineEnd = true;
            } else if (c != u' ' && c != u'\t' && c != u'\r') {
                return;
            }
            ++_at;
        }
    }

    bool next(QChar c)
    {
        const qsizetype start = _at;
        skipSpaces();
        if (_at < _text.size() && _text[_at] == c)
            return true;
        _at = start;
        return false;
    }

    // Whether a blank line follows the line end at i: a paragraph's end, which no
    // argument of these commands spans.
    bool paragraphEndsAt(qsizetype i) const
    {
        for (++i; i < _text.size(); ++i) {
            const QChar c = _text[i];
            if (c == u'\n')
                return true;
            if (c != u' ' && c != u'\t' && c != u'\r')
                return false;
        }
        return false;
    }

    // A group delimited by open and close that starts here (after spaces), braces
    // inside nesting; nothing read when none starts or it does not close before
    // the paragraph ends (so that a brace not yet typed leaves the rest alone).
    // Keys hold no commands: a group of keys ends at the first.
    Span group(QChar open, QChar close, bool ofKeys = false)
    {
        const qsizetype start = _at;
        if (!next(open))
            return {};
        int depth = 0;
        for (qsizetype i = _at + 1; i < _text.size(); ++i) {
            const QChar c = _text[i];
            if (c == u'\\') {
                if (ofKeys)
                    break;
                ++i;
            } else if (c == u'%') {
                i = _text.indexOf(u'\n', i);
                if (i < 0 || paragraphEndsAt(i))
                    break;
            } else if (c == u'\n') {
                if (paragraphEndsAt(i))
                    break;
            } else if (c == u'{')
                ++depth;
            else if (c == u'}' && depth > 0)
                --depth;
            else if (c == close && depth == 0) {
                const Span inside{_at + 1, i};
                _at = i + 1;
                return inside;
            }
        }
        _at = start;
        return {};
    }

    Span braces() { return group(u'{', u'}'); }
    Span keys() { return group(u'{', u'}', true); }
    void skipOptionals()
    {
        while (group(u'[', u']').found() || group(u'(', u')').found()) {
        }
    }
    void skipStar()
    {
        if (next(u'*'))
            ++_at;
    }

    void add(Kind kind, qsizetype start, qsizetype end)
    {
        while (start < end && _text[start].isSpace())
            ++start;
        // A starred key of an entry set is the key ("\mcite{set,*knuth}"); "*"
        // alone (\nocite{*}) stays.
        if (kind == Kind::Citation && end - start > 1 && _text[start] == u'*')
            ++start;
        while (end > start && _text[end - 1].isSpace())
            --end;
        if (end > start)
            _landmarks.append(Landmark{kind, _text.mid(start, end - start).toString(),
                                       qint32(start), qint32(end - start)});
    }

    // Each key of a comma-separated list; a comment ends a key.
    void addList(Kind kind, Span span)
    {
        if (!span.found())
            return;
        qsizetype start = span.start;
        for (qsizetype i = span.start; i <= span.end; ++i) {
            if (i < span.end && _text[i] == u'%') {
                add(kind, start, i);
                const qsizetype lineEnd = _text.indexOf(u'\n', i);
                i = lineEnd < 0 || lineEnd > span.end ? span.end : lineEnd;
                start = i + 1;
            } else if (i == span.end || _text[i] == u',') {
                add(kind, start, i);
                start = i + 1;
            }
        }
    }

    void addOne(Kind kind, Span span)
    {
        if (span.found())
            add(kind, span.start, span.end);
    }

    void addAt(Kind kind, QString key, qsizetype backslash)
    {
        _landmarks.append(
            Landmark{kind, std::move(key), qint32(backslash), qint32(_at - backslash)});
    }

    void skipVerbatim(QStringView environment)
    {
        const QString end = QLatin1String("\\end{") + environment.toString() + u'}';
        const qsizetype found = _text.indexOf(end, _at);
        _skipped.append({_at, found < 0 ? _text.size() : found, false});
        _at = found < 0 ? _text.size() : found + end.size();
    }

    // \verb*|text| takes any character but a letter or space as its delimiter;
    // \lstinline[options] also takes braces.
    void skipVerb(bool takesBraces)
    {
        if (takesBraces) {
            group(u'[', u']');
            if (_at < _text.size() && _text[_at] == u'{') {
                braces();
                return;
            }
        } else if (_at < _text.size() && _text[_at] == u'*') {
            ++_at;
        }
        if (_at >= _text.size())
            return;
        const QChar delimiter = _text[_at];
        if (delimiter.isSpace() || isLetter(delimiter))
            return;
        const qsizetype end = _text.indexOf(delimiter, _at + 1);
        const qsizetype line = _text.indexOf(u'\n', _at + 1);
        if (end >= 0 && (line < 0 || end < line)) {
            _skipped.append({_at + 1, end, false});
            _at = end + 1;
        }
    }

    void environment(bool begins, qsizetype backslash)
    {
        const Span name = braces();
        if (!name.found())
            return;
        const QStringView environment = _text.mid(name.start, name.end - name.start);
        if (begins && LandmarkScanner::isVerbatim(environment)) {
            skipVerbatim(environment);
        } else if (isFloat(environment)) {
            addAt(begins ? Kind::FloatBegin : Kind::FloatEnd, environment.toString(), backslash);
        } else if (begins && environment == u"thebibliography") {
            addAt(Kind::Bibliography, environment.toString(), backslash);
        }
    }

    void command(qsizetype backslash)
    {
        const qsizetype start = _at;
        while (_at < _text.size() && isLetter(_text[_at]))
            ++_at;
        if (_at == start) {
            // \% and the like: the character is text.
            if (_at < _text.size())
                ++_at;
            return;
        }
        const QStringView name = _text.mid(start, _at - start);
        if (name == u"begin" || name == u"end") {
            environment(name == u"begin", backslash);
            return;
        }
        const auto found = commands().constFind(name.toString());
        if (found == commands().cend())
            return;
        switch (*found) {
        case Reads::Label:
            group(u'[', u']');
            addOne(Kind::Label, keys());
            break;
        case Reads::Reference:
            skipStar();
            group(u'[', u']');
            addOne(Kind::Reference, keys());
            break;
        case Reads::References:
            skipStar();
            group(u'[', u']');
            addList(Kind::Reference, keys());
            break;
        case Reads::ReferenceRange:
            skipStar();
            addOne(Kind::Reference, keys());
            addOne(Kind::Reference, keys());
            break;
        case Reads::HyperRef:
            addOne(Kind::Reference, group(u'[', u']', true));
            break;
        case Reads::Citations:
            skipStar();
            skipOptionals();
            addList(Kind::Citation, keys());
            break;
        case Reads::MultiCitations:
            skipStar();
            for (;;) {
                skipOptionals();
                const Span found = keys();
                if (!found.found())
                    break;
                addList(Kind::Citation, found);
            }
            break;
        case Reads::BibItem:
            group(u'[', u']');
            addOne(Kind::BibItem, keys());
            break;
        case Reads::Caption: {
            skipStar();
            group(u'[', u']');
            const Span text = braces();
            if (text.found()) {
                addAt(Kind::Caption,
                      _text.mid(text.start, text.end - text.start).toString().simplified(),
                      backslash);
                // A caption's text holds labels and references too.
                _at = text.start;
            }
            break;
        }
        case Reads::Bibliography:
            addAt(Kind::Bibliography, name.toString(), backslash);
            break;
        case Reads::External: {
            const Span prefix = group(u'[', u']');
            if (braces().found()) {
                const QString key =
                    prefix.found()
                        ? _text.mid(prefix.start, prefix.end - prefix.start).toString().trimmed()
                        : QString();
                addAt(Kind::ExternalLabels, key, backslash);
            }
            break;
        }
        case Reads::Verb:
            skipVerb(false);
            break;
        case Reads::Listing:
            skipVerb(true);
            break;
        }
    }

    QStringView _text;
    qsizetype _at = 0;
    QList<Landmark> _landmarks;
    QList<std::pair<QChar, qsizetype>> _shortVerbs; // each delimiter, and where it starts
    QList<LandmarkScanner::Skipped> _skipped;
};

} // namespace

QList<Landmark> LandmarkScanner::scan(QStringView text, QList<Skipped> *skipped)
{
    Reader reader(text);
    QList<Landmark> landmarks = reader.scan();
    if (skipped)
        *skipped = reader.skipped();
    return landmarks;
}

bool LandmarkScanner::isVerbatim(QStringView environment)
{
    static const QSet<QString> verbatims = {
        QStringLiteral("verbatim"),   QStringLiteral("verbatim*"), QStringLiteral("Verbatim"),
        QStringLiteral("Verbatim*"),  QStringLiteral("BVerbatim"), QStringLiteral("LVerbatim"),
        QStringLiteral("lstlisting"), QStringLiteral("minted"),    QStringLiteral("comment")};
    return verbatims.contains(environment.toString());
}
