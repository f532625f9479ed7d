// The landmarks read from LaTeX source: which keys each command names, and
// where they stand, so that marks and outline rows land on the right characters.
#include "model/LandmarkScanner.h"

#include <QTest>

namespace {

QString kindName(Landmark::Kind kind)
{
    switch (kind) {
    case Landmark::Kind::Label:
        return QStringLiteral("label");
    case Landmark::Kind::Reference:
        return QStringLiteral("ref");
    case Landmark::Kind::Citation:
        return QStringLiteral("cite");
    case Landmark::Kind::BibItem:
        return QStringLiteral("bibitem");
    case Landmark::Kind::FloatBegin:
        return QStringLiteral("begin");
    case Landmark::Kind::FloatEnd:
        return QStringLiteral("end");
    case Landmark::Kind::Caption:
        return QStringLiteral("caption");
    case Landmark::Kind::Bibliography:
        return QStringLiteral("bibliography");
    case Landmark::Kind::ExternalLabels:
        return QStringLiteral("external");
    }
    return {};
}

// "kind:key" for each landmark, in order.
QStringList read(const QString &text)
{
    QStringList found;
    for (const Landmark &landmark : LandmarkScanner::scan(text))
        found << kindName(landmark.kind) + u':' + landmark.key;
    return found;
}

} // namespace

class TestLandmarks : public QObject
{
    Q_OBJECT

private slots:
    void readsKeys_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        const auto row = [](const char *name, const char *text, QStringList expected) {
            QTest::newRow(name) << QString::fromUtf8(text) << expected;
        };
        row("label and ref", "\\label{sec:a} see \\ref{sec:a}", {"label:sec:a", "ref:sec:a"});
        row("ref takes its argument whole", "\\ref{a,b}", {"ref:a,b"});
        row("cref lists", "\\cref{a, b,c}\\Cref{ d }", {"ref:a", "ref:b", "ref:c", "ref:d"});
        row("ranges", "\\crefrange{a}{b}", {"ref:a", "ref:b"});
        row("hyperref's key is its option", "\\hyperref[sec:x]{the section}", {"ref:sec:x"});
        row("starred forms", "\\ref*{a}\\autoref*{b}", {"ref:a", "ref:b"});
        row("label with a type", "\\label[lemma]{l1}", {"label:l1"});
        row("cite list", "\\cite{knuth84, lamport94}", {"cite:knuth84", "cite:lamport94"});
        row("natbib options", "\\citep*[see][p.~4]{a,b}", {"cite:a", "cite:b"});
        row("biblatex multicite", "\\parencites(pre)(post)[p.~1]{a}[p.~2]{b,c} text",
            {"cite:a", "cite:b", "cite:c"});
        row("nocite star", "\\nocite{*}", {"cite:*"});
        row("comment in a list", "\\cite{a,% old one\n  b}", {"cite:a", "cite:b"});
        row("macro argument kept", "\\newcommand\\chap[1]{\\chapter{#1}\\label{ch:#1}}",
            {"label:ch:#1"});
        row("bibitem", "\\begin{thebibliography}{9}\\bibitem[K84]{knuth} x",
            {"bibliography:thebibliography", "bibitem:knuth"});
        row("figure",
            "\\begin{figure}[h]\\caption[short]{A  long\n caption}\\label{fig:a}"
            "\\end{figure}",
            {"begin:figure", "caption:A long caption", "label:fig:a", "end:figure"});
        row("a caption's own labels and references",
            "\\caption{Data, as in \\cite{k}\\label{t:data}}",
            {"caption:Data, as in \\cite{k}\\label{t:data}", "cite:k", "label:t:data"});
        row("starred floats of packages", "\\begin{sidewaysfigure*}\\end{sidewaysfigure*}",
            {"begin:sidewaysfigure*", "end:sidewaysfigure*"});
        row("bibliographies", "\\bibliographystyle{plain}\\bibliography{refs}\\printbibliography",
            {"bibliography:bibliography", "bibliography:printbibliography"});
        row("xr prefix", "\\externaldocument[other-]{other}\\externaldocument{more}",
            {"external:other-", "external:"});
        row("comment skipped", "% \\label{old}\n\\label{new}", {"label:new"});
        row("escaped percent", "50\\% \\label{a}", {"label:a"});
        row("verb skipped", "\\verb|\\ref{x}| \\verb*+\\cite{y}+ \\ref{z}", {"ref:z"});
        row("lstinline skipped", "\\lstinline[language=C]{\\ref{x}} \\lstinline!\\cite{y}!",
            QStringList{});
        row("verbatim skipped", "\\begin{verbatim}\\label{x}\\end{verbatim}\\label{y}",
            {"label:y"});
        row("unclosed verbatim ends all", "\\begin{lstlisting}\\label{x}", QStringList{});
        row("unclosed group names nothing", "\\ref{abc", QStringList{});
        row("a brace not yet typed leaves the next paragraph alone",
            "\\label{tab:ne\n\n\\begin{table}\\label{t}\\end{table}",
            {"begin:table", "label:t", "end:table"});
        row("a brace not yet typed before a float", "\\label{tab:ne\n\\begin{table}\\end{table}",
            {"begin:table", "end:table"});
        row("an argument spans lines, not paragraphs", "\\cite{a,\n  b}", {"cite:a", "cite:b"});
        row("longer names are other commands", "\\references{x}\\citestyle{y}\\labelfoo{z}",
            QStringList{});
        row("space and one line end before the argument", "\\ref {a}\\ref\n{b}\\ref\n\n{c}",
            {"ref:a", "ref:b"});
        row("citetext holds no keys", "\\citetext{see also}", QStringList{});
    }

    void readsKeys()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        QCOMPARE(read(text), expected);
    }

    // Marks are drawn from these offsets: each key's offset and length must cover
    // the key exactly, and a float's or caption's the command.
    void offsetsCoverTheKeys()
    {
        const QString text = QStringLiteral("x \\cite{ a ,bb}\n\\begin{table}\\label{t}");
        for (const Landmark &landmark : LandmarkScanner::scan(text)) {
            const QString covered = text.mid(landmark.offset, landmark.length);
            if (landmark.kind == Landmark::Kind::FloatBegin)
                QCOMPARE(covered, QStringLiteral("\\begin{table}"));
            else
                QCOMPARE(covered, landmark.key);
        }
        QCOMPARE(LandmarkScanner::scan(text).size(), 4);
    }
};

QTEST_APPLESS_MAIN(TestLandmarks)
#include "tst_landmarks.moc"
