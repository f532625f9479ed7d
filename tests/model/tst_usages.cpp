// Where a name stands in a file's text: exact cases written by hand, and every
// label, citation key, defined command and environment of real documents counted
// against a reader of the files written apart from the scanner.
#include "Corpus.h"
#include "TestSupport.h"
#include "model/UsageScanner.h"

#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>

class TestUsages : public QObject
{
    Q_OBJECT

private slots:
    void exactPlaces_data();
    void exactPlaces();
    void nameUnderTheCaret_data();
    void nameUnderTheCaret();
    void bibliographyEntries();
    void realDocumentsAgreeWithACarefulReading_data();
    void realDocumentsAgreeWithACarefulReading();
};

namespace {

using Kind = UsageName::Kind;

// A text whose expected places are marked: «name» in code, ‹name› in a comment.
struct Marked
{
    QString text;
    QList<Usage> places;
};

Marked unmark(const QString &marked)
{
    Marked result;
    for (qsizetype i = 0; i < marked.size(); ++i) {
        const QStringView rest = QStringView(marked).mid(i);
        if (rest.startsWith(u"«") || rest.startsWith(u"‹")) {
            const bool comment = rest.startsWith(u"‹");
            const qsizetype end = marked.indexOf(comment ? u"›" : u"»", i);
            const QString name = marked.mid(i + 1, end - i - 1);
            result.places.append({qint32(result.text.size()), qint32(name.size()), comment});
            result.text += name;
            i = end;
        } else {
            result.text += marked[i];
        }
    }
    return result;
}

} // namespace

void TestUsages::exactPlaces_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("marked");
    QTest::newRow("label, whole keys only")
        << int(Kind::Label) << "fig:a"
        << "\\label{«fig:a»} \\ref{fig:ab} \\ref{xfig:a} \\cref{fig:b, «fig:a»}\n"
           "\\eqref{ «fig:a» } \\pageref*{«fig:a»} \\hyperref[«fig:a»]{text}\n"
           "\\crefrange{«fig:a»}{fig:c} \\autoref{«fig:a»} % see \\ref{‹fig:a›}\n"
           "\\verb|\\ref{fig:a}| \\cite{fig:a} \\label{fig:a:b}\n"
           "\\begin{verbatim}\n\\ref{fig:a}\n\\end{verbatim}\n\\nameref{«fig:a»}\n";
    QTest::newRow("citation keys of every form")
        << int(Kind::CitationKey) << "knuth84"
        << "\\cite{«knuth84»} \\citep[p.~4]{lamport, «knuth84»} \\parencite*[see][]{«knuth84»}\n"
           "\\textcites(pre)(post)[a]{x}[b]{«knuth84»} \\nocite{knuth84a} \\cite{knuth}\n"
           "\\bibitem[Knuth]{«knuth84»} \\ref{knuth84} %\\cite{‹knuth84›}\n";
    QTest::newRow("a command, whole and not escaped")
        << int(Kind::Command) << "vect"
        << "\\newcommand{\\«vect»}[1]{\\mathbf{#1}} $\\«vect»{x} + \\vector + \\\\vect$\n"
           "\\renewcommand\\«vect»{v} \\«vect»_1 % \\‹vect›\n"
           "\\verb+\\vect+ \\begin{lstlisting}\n\\vect\n\\end{lstlisting} \\«vect»\n";
    QTest::newRow("an environment, begin, end and definition")
        << int(Kind::Environment) << "proof"
        << "\\newenvironment{«proof»}{}{} \\begin{«proof»} x \\end{ «proof» }\n"
           "\\begin{proof*} \\begin{myproof} %\\end{‹proof›}\n"
           "\\begin{Verbatim}\n\\begin{proof}\n\\end{Verbatim}\n";
    QTest::newRow("a comment that opens a verbatim hides nothing after it")
        << int(Kind::Label) << "a"
        << "% \\begin{verbatim} \\ref{‹a›}\n\\ref{«a»}\n";
}

void TestUsages::exactPlaces()
{
    QFETCH(int, kind);
    QFETCH(QString, name);
    QFETCH(QString, marked);
    const Marked expected = unmark(marked);
    const QList<Usage> found = UsageScanner::inText(expected.text, UsageName{Kind(kind), name});
    QCOMPARE(found, expected.places);
}

void TestUsages::nameUnderTheCaret_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("name");
    // The caret stands at "|".
    QTest::newRow("in a reference list") << "\\cref{a, fig:|b}" << int(Kind::Label) << "fig:b";
    QTest::newRow("just after a label") << "\\label{sec:x|} text" << int(Kind::Label) << "sec:x";
    QTest::newRow("citation") << "\\citet[p.~2]{lam|port}" << int(Kind::CitationKey) << "lamport";
    QTest::newRow("command letters") << "$\\ve|ct{x}$" << int(Kind::Command) << "vect";
    QTest::newRow("command backslash") << "$|\\vect{x}$" << int(Kind::Command) << "vect";
    QTest::newRow("defined name, not its definer")
        << "\\newcommand{\\ve|ct}{}" << int(Kind::Command) << "vect";
    QTest::newRow("environment") << "\\end{the|orem}" << int(Kind::Environment) << "theorem";
    QTest::newRow("plain text") << "some te|xt" << -1 << "";
    QTest::newRow("definer itself") << "\\newcom|mand{\\x}{}" << -1 << "";
}

void TestUsages::nameUnderTheCaret()
{
    QFETCH(QString, text);
    QFETCH(int, kind);
    QFETCH(QString, name);
    const qsizetype caret = text.indexOf(u'|');
    text.remove(caret, 1);
    const std::optional<UsageName> found = UsageScanner::nameAt(text, caret);
    if (kind < 0) {
        QVERIFY(!found);
        return;
    }
    QVERIFY(found);
    QCOMPARE(*found, (UsageName{Kind(kind), name}));
}

void TestUsages::bibliographyEntries()
{
    const Marked bib =
        unmark("@Article{«knuth84»,\n  title = {x}, crossref = {knuth84}}\n"
               "@book( knuth84a ,\n xdata = \" knuth84 \" )\n@string{knuth84 = \"K\"}\n"
               "@inproceedings{\n  «knuth84»,\n}\n");
    QCOMPARE(UsageScanner::nameAtInBib(bib.text, bib.places.first().offset + 2),
             (UsageName{Kind::CitationKey, "knuth84"}));
    QCOMPARE(UsageScanner::nameAtInBib(bib.text, bib.places.last().offset),
             (UsageName{Kind::CitationKey, "knuth84"}));
    QCOMPARE(UsageScanner::nameAtInBib(bib.text, bib.text.indexOf(u"knuth84a") + 3),
             (UsageName{Kind::CitationKey, "knuth84a"}));
    QVERIFY(!UsageScanner::nameAtInBib(bib.text, bib.text.indexOf(u"title")));
    QVERIFY(!UsageScanner::nameAtInBib(bib.text, bib.text.indexOf(u"knuth84 =") + 2));
}

namespace {

// The reader of the check: a plain reading of LaTeX written without the scanner.
// Comments are cut at an unescaped %, the verbatim environments and \verb taken
// out; then each command of the lists below gives its keys: past a star and
// optional arguments, the braces' content split at commas and trimmed.
QString withoutCommentsAndVerbatim(QString text)
{
    static const QRegularExpression verbatim(
        QStringLiteral("\\\\begin\\{(verbatim\\*?|Verbatim|lstlisting|minted|comment)\\}"
                       ".*?\\\\end\\{\\1\\}"),
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression verb(QStringLiteral("\\\\verb\\*?([^a-zA-Z\\s]).*?\\1"));
    static const QRegularExpression comment(QStringLiteral("(?<!\\\\)((?:\\\\\\\\)*)%[^\\n]*"));
    text.replace(comment, QStringLiteral("\\1"));
    text.replace(verbatim, QString());
    text.replace(verb, QString());
    // A character made to quote verbatim by \MakeShortVerb{\|}.
    static const QRegularExpression shortVerb(QStringLiteral("\\\\MakeShortVerb\\*?\\{\\\\(.)\\}"));
    for (QRegularExpressionMatchIterator it = shortVerb.globalMatch(text); it.hasNext();) {
        const QString quote = QRegularExpression::escape(it.next().captured(1));
        text.replace(QRegularExpression(quote + QStringLiteral("[^\\n]*?") + quote), QString());
    }
    return text;
}

QMap<QString, int> carefulCount(const QString &text, Kind kind)
{
    const QString labels = QStringLiteral(
        "label|ref|eqref|pageref|autoref|Autoref|nameref|Nameref|vref|Vref|vpageref|subref|cref|"
        "Cref|cpageref|Cpageref|crefrange|Crefrange|namecref|nameCref|labelcref|fref|Fref|zref|"
        "zlabel");
    const QString cites = QStringLiteral("(?!bibcite)[a-zA-Z]*cite[a-zA-Z]*|bibitem");
    const QRegularExpression command(
        QStringLiteral("\\\\(%1)\\*?\\s*((?:\\[[^\\]]*\\]\\s*|\\([^)]*\\)\\s*)*)\\{([^{}\\\\]*)\\}"
                       "(\\{([^{}\\\\]*)\\})?")
            .arg(kind == Kind::Label ? labels : cites));
    QMap<QString, int> counts;
    const QString plain = withoutCommentsAndVerbatim(text);
    QRegularExpressionMatchIterator it = command.globalMatch(plain);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const QString name = match.captured(1);
        // \cites and its kin take any number of [..]{keys} groups.
        QStringList groups{match.captured(3)};
        if (name.endsWith(QStringLiteral("cites"))) {
            static const QRegularExpression more(
                QStringLiteral("\\G\\s*(?:\\[[^\\]]*\\]\\s*|\\([^)]*\\)\\s*)*\\{([^{}\\\\]*)\\}"));
            qsizetype at = match.capturedEnd(3) + 1;
            for (QRegularExpressionMatch next = more.match(plain, at); next.hasMatch();
                 next = more.match(plain, at)) {
                groups << next.captured(1);
                at = next.capturedEnd();
            }
        }
        if (kind == Kind::Label && name.contains(QStringLiteral("range")))
            for (const QString &key : {match.captured(3), match.captured(5)})
                ++counts[key.trimmed()];
        else
            for (QString key : groups.join(u',').split(u',')) {
                // biblatex's "*key" adds the entry key to a set.
                key = key.trimmed();
                if (key.size() > 1 && key.startsWith(u'*'))
                    key.remove(0, 1);
                if (!key.isEmpty())
                    ++counts[key];
            }
    }
    if (kind == Kind::Environment) {
        counts.clear();
        static const QRegularExpression defined(QStringLiteral(
            "\\\\(?:newenvironment|renewenvironment|newtheorem)\\*?\\s*\\{([a-zA-Z*]+)\\}"));
        QSet<QString> names;
        for (QRegularExpressionMatchIterator d = defined.globalMatch(plain); d.hasNext();)
            names.insert(d.next().captured(1));
        for (const QString &name : names) {
            const QRegularExpression use(
                QStringLiteral("\\\\(?:begin|end|newenvironment|renewenvironment|newtheorem)"
                               "\\*?\\s*\\{\\s*%1\\s*\\}")
                    .arg(QRegularExpression::escape(name)));
            counts[name] = int(plain.count(use));
        }
    }
    if (kind == Kind::Command) {
        counts.clear();
        static const QRegularExpression defined(
            QStringLiteral("\\\\(?:newcommand|renewcommand|providecommand|DeclareMathOperator)\\*?"
                           "\\s*\\{?\\\\([a-zA-Z]+)"));
        QSet<QString> names;
        for (QRegularExpressionMatchIterator d = defined.globalMatch(plain); d.hasNext();)
            names.insert(d.next().captured(1));
        for (const QString &name : names) {
            const QRegularExpression use(
                QStringLiteral("(?<!\\\\)(?:\\\\\\\\)*\\\\%1(?![a-zA-Z])").arg(name));
            counts[name] = int(plain.count(use));
        }
    }
    return counts;
}

// The files of a document folder as text, gzipped ones (TeX Live's documentation)
// read through gzip.
QMap<QString, QString> texFiles(const QString &folder)
{
    QMap<QString, QString> files;
    QDirIterator it(folder, {QStringLiteral("*.tex"), QStringLiteral("*.tex.gz")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QByteArray bytes;
        if (path.endsWith(QStringLiteral(".gz"))) {
            QProcess gzip;
            gzip.start(QStringLiteral("gzip"), {QStringLiteral("-dc"), path});
            gzip.waitForFinished();
            bytes = gzip.readAllStandardOutput();
        } else {
            QFile file(path);
            file.open(QIODevice::ReadOnly);
            bytes = file.readAll();
        }
        files[path] = QString::fromUtf8(bytes);
    }
    return files;
}

} // namespace

void TestUsages::realDocumentsAgreeWithACarefulReading_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("kind");
    const QString docs = QStringLiteral("/usr/share/doc/texlive-doc/");
    const QList<std::pair<const char *, QString>> folders = {
        {"thesis", QStringLiteral(QUILLSET_SOURCE_DIR "/examples/thesis")},
        {"simple-thesis-dissertation", docs + "xelatex/simple-thesis-dissertation"},
        {"luacas", docs + "lualatex/luacas"},
        {"biblatex", docs + "latex/biblatex"},
        {"texlive-en", docs + "texlive/texlive-en"},
        {"20 MB book", QStringLiteral("book")}};
    for (const auto &[name, folder] : folders)
        for (const auto &[kindName, kind] : {std::pair{"labels", Kind::Label},
                                             {"keys", Kind::CitationKey},
                                             {"commands", Kind::Command},
                                             {"environments", Kind::Environment}})
            QTest::addRow("%s, %s", name, kindName) << folder << int(kind);
}

// Every name the reading finds is found by the scanner in the same number of
// places outside comments, file by file.
void TestUsages::realDocumentsAgreeWithACarefulReading()
{
    QFETCH(QString, folder);
    QFETCH(int, kind);
    // The benchmarks' book, written as they write it: 17,820 labels in 20 MB. Code
    // built with the address sanitizer reads it some fifty times slower: there one
    // file in ten is read.
    qsizetype step = 1;
    if (folder == u"book") {
        folder = QFileInfo(Corpus::bookRootPath()).path();
#if defined(__SANITIZE_ADDRESS__)
        step = 10;
#endif
    }
    // TeX Live's documentation comes with its packages, unless the system leaves
    // /usr/share/doc out; the thesis is always here.
    if (!QFileInfo::exists(folder))
        QSKIP(qPrintable(folder + QStringLiteral(" is not installed")));
    const QMap<QString, QString> files = texFiles(folder);
    QVERIFY2(!files.isEmpty(), qPrintable(folder));
    int names = 0;
    int places = 0;
    qsizetype index = 0;
    for (auto file = files.cbegin(); file != files.cend(); ++file) {
        if (index++ % step != 0)
            continue;
        const QMap<QString, int> expected = carefulCount(*file, Kind(kind));
        for (auto name = expected.cbegin(); name != expected.cend(); ++name) {
            int found = 0;
            QStringList lines;
            for (const Usage &usage :
                 UsageScanner::inText(*file, UsageName{Kind(kind), name.key()})) {
                found += usage.inComment ? 0 : 1;
                lines << QString::number(file->left(usage.offset).count(u'\n') + 1);
            }
            QVERIFY2(found == *name,
                     qPrintable(QStringLiteral("%1 in %2: %3 found (lines %5), %4 read")
                                    .arg(name.key(), file.key())
                                    .arg(found)
                                    .arg(*name)
                                    .arg(lines.join(u','))));
            ++names;
            places += found;
        }
    }
    qInfo("%d names, %d places", names, places);
}

QUILLSET_TEST_MAIN(TestUsages)
#include "tst_usages.moc"
