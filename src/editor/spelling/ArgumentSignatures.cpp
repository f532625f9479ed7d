#include "editor/spelling/ArgumentSignatures.h"

#include <QHash>
#include <QSet>
#include <initializer_list>

namespace {

using Table = QHash<QString, QString>;

// Several names that share one signature.
void add(Table &table, std::initializer_list<const char16_t *> names, const char16_t *signature)
{
    for (const char16_t *name : names)
        table.insert(QString::fromUtf16(name), QString::fromUtf16(signature));
}

Table commandTable()
{
    Table t;
    // Document structure: titles and notes are text, their short forms too.
    add(t,
        {u"part", u"chapter", u"section", u"subsection", u"subsubsection", u"paragraph",
         u"subparagraph", u"addchap", u"addsec", u"minisec", u"addpart"},
        u"*OM");
    add(t, {u"caption", u"subcaption", u"subcaptionbox"}, u"OM");
    add(t, {u"captionof"}, u"*mOM");
    add(t, {u"title", u"author", u"date", u"institute", u"subtitle", u"marginpar"}, u"OM");
    add(t, {u"footnote", u"footnotetext", u"todo", u"sidenote", u"marginnote"}, u"oM");
    add(t,
        {u"footnotemark", u"printbibliography", u"printglossary", u"linebreak", u"pagebreak",
         u"nopagebreak", u"newline"},
        u"o");
    add(t, {u"item"}, u"O");
    add(t, {u"\\"}, u"*o");
    add(t, {u"addcontentsline"}, u"mmM");
    add(t, {u"addtocontents"}, u"mM");
    add(t, {u"pdfbookmark"}, u"oMm");
    add(t, {u"bookmark"}, u"om");
    add(t, {u"nomenclature"}, u"omM");
    add(t, {u"index", u"glossary"}, u"om");

    // Keys: labels, references, citations, glossary entries.
    add(t,
        {u"label", u"eqref", u"labelcref", u"namecref", u"nameCref", u"lcnamecref", u"fullref",
         u"citenum", u"nocite", u"supercite", u"glsentrytext"},
        u"m");
    add(t,
        {u"ref", u"pageref", u"autoref", u"Autoref", u"cref", u"Cref", u"cpageref", u"Cpageref",
         u"vref", u"Vref", u"nameref", u"Nameref"},
        u"*m");
    add(t, {u"crefrange", u"Crefrange", u"cpagerefrange", u"Cpagerefrange"}, u"*mm");
    add(t, {u"vpageref"}, u"*oom");
    add(t, {u"cite",         u"citep",     u"citet",       u"citealp",    u"citealt",
            u"citeauthor",   u"citeyear",  u"citeyearpar", u"Citet",      u"Citep",
            u"Citealt",      u"Citealp",   u"Citeauthor",  u"parencite",  u"Parencite",
            u"textcite",     u"Textcite",  u"autocite",    u"Autocite",   u"footcite",
            u"footcitetext", u"smartcite", u"Smartcite",   u"fullcite",   u"footfullcite",
            u"citetitle",    u"citeurl",   u"citedate",    u"citeyearpar"},
        u"*oom");
    add(t, {u"bibitem"}, u"om");
    add(t,
        {u"gls", u"Gls", u"GLS", u"glspl", u"Glspl", u"GLSpl", u"glsadd", u"glstext", u"glsfirst",
         u"acrshort", u"Acrshort", u"acrlong", u"Acrlong", u"acrfull", u"Acrfull"},
        u"om");
    add(t,
        {u"ac", u"Ac", u"acp", u"Acp", u"acs", u"acl", u"Acl", u"acf", u"Acf", u"acsp", u"aclp",
         u"acfp"},
        u"*om");
    add(t, {u"newglossaryentry", u"DeclareAcronym"}, u"mm");
    add(t, {u"newacronym"}, u"ommM");
    add(t, {u"acro", u"acrodef"}, u"moM");

    // Links: the target is not text, what is shown for it is.
    add(t, {u"url", u"nolinkurl"}, u"u");
    add(t, {u"href"}, u"ouM");
    add(t, {u"hyperref"}, u"oM");
    add(t, {u"hyperlink", u"hypertarget"}, u"mM");
    add(t, {u"path"}, u"v");

    // Files and packages.
    add(t, {u"input"}, u"f");
    add(t,
        {u"include", u"includeonly", u"subfile", u"graphicspath", u"bibliography",
         u"bibliographystyle", u"usetikzlibrary", u"usepgfplotslibrary", u"tcbuselibrary",
         u"ExecuteOptions"},
        u"m");
    add(t, {u"includegraphics"}, u"*oom");
    add(t,
        {u"includepdf", u"includestandalone", u"addbibresource", u"lstinputlisting",
         u"VerbatimInput", u"externaldocument"},
        u"om");
    add(t, {u"verbatiminput"}, u"*m");
    add(t, {u"import"}, u"mm");
    add(t, {u"subimport"}, u"*mm");
    add(t, {u"inputminted"}, u"omm");
    add(t, {u"documentclass", u"usepackage", u"RequirePackage", u"LoadClass"}, u"omo");
    add(t, {u"PassOptionsToPackage", u"PassOptionsToClass"}, u"mm");
    add(t, {u"ProvidesPackage", u"ProvidesClass", u"ProvidesFile", u"NeedsTeXFormat"}, u"mo");
    add(t, {u"usetheme", u"usecolortheme", u"usefonttheme", u"useinnertheme", u"useoutertheme"},
        u"om");

    // Definitions: names and argument counts are not text; bodies are read as the
    // text they will put in the document.
    add(t, {u"newcommand", u"renewcommand", u"providecommand", u"DeclareRobustCommand"}, u"*cooM");
    add(t, {u"newenvironment", u"renewenvironment"}, u"*mooMM");
    add(t,
        {u"NewDocumentCommand", u"RenewDocumentCommand", u"ProvideDocumentCommand",
         u"DeclareDocumentCommand"},
        u"cmM");
    add(t, {u"NewDocumentEnvironment", u"RenewDocumentEnvironment"}, u"mmMM");
    add(t, {u"DeclareMathOperator"}, u"*cm");
    add(t, {u"newtheorem"}, u"*moMo");
    add(t,
        {u"theoremstyle",
         u"newlength",
         u"stepcounter",
         u"refstepcounter",
         u"value",
         u"arabic",
         u"roman",
         u"Roman",
         u"alph",
         u"Alph",
         u"fnsymbol",
         u"pagenumbering",
         u"pagestyle",
         u"thispagestyle",
         u"hyphenation",
         u"symbol",
         u"ensuremath",
         u"linespread",
         u"setstretch",
         u"selectlanguage",
         u"fontfamily",
         u"fontseries",
         u"fontshape",
         u"fontencoding",
         u"selectcolormodel",
         u"addfontfeature",
         u"addfontfeatures",
         u"hologo",
         u"directlua",
         u"luaexec",
         u"luadirect",
         u"texttt",
         u"cs",
         u"env",
         u"pkg",
         u"cls",
         u"opt",
         u"ding",
         u"cline",
         u"newgeometry",
         u"KOMAoptions",
         u"citestyle",
         u"setcitestyle"},
        u"m");
    add(t, {u"newcounter"}, u"mo");
    add(t,
        {u"setcounter", u"addtocounter", u"fontsize", u"setkomafont", u"addtokomafont",
         u"KOMAoption", u"setkeys", u"setbeamercolor", u"setbeamerfont", u"colorlet",
         u"lstdefinestyle", u"newlist"},
        u"mm");
    add(t, {u"counterwithin", u"counterwithout"}, u"*mm");
    add(t, {u"numberwithin"}, u"omm");
    add(t, {u"setlength", u"addtolength", u"settowidth", u"settoheight", u"settodepth"}, u"cm");
    add(t, {u"vspace", u"hspace", u"enlargethispage"}, u"*m");
    add(t, {u"newcolumntype"}, u"mom");
    add(t, {u"setbeamertemplate"}, u"mom");
    add(t, {u"titleformat"}, u"*mommmmo");
    add(t, {u"titlespacing"}, u"*mmmmo");
    add(t, {u"setlist"}, u"om");
    add(t, {u"floatname"}, u"mM");
    add(t, {u"fancypagestyle"}, u"mM");
    add(t,
        {u"fancyhead", u"fancyfoot", u"fancyhf", u"lhead", u"chead", u"rhead", u"lfoot", u"cfoot",
         u"rfoot"},
        u"oM");
    add(t, {u"DeclareOption"}, u"*mm");
    add(t, {u"PackageError", u"ClassError"}, u"mmm");
    add(t, {u"PackageWarning", u"ClassWarning", u"PackageInfo", u"ClassInfo"}, u"mm");
    add(t, {u"lstdefinelanguage"}, u"omom");

    // Colours, boxes and sizes: the colour, the width, the position are not text.
    add(t, {u"color", u"pagecolor", u"cellcolor"}, u"om");
    add(t, {u"textcolor", u"colorbox"}, u"omM");
    add(t, {u"fcolorbox"}, u"ommM");
    add(t, {u"definecolor", u"providecolor"}, u"ommm");
    add(t, {u"rowcolor", u"columncolor"}, u"omoo");
    add(t, {u"arrayrulecolor"}, u"om");
    add(t, {u"rule"}, u"omm");
    add(t, {u"raisebox"}, u"mooM");
    add(t, {u"parbox"}, u"ooomM");
    add(t, {u"makebox", u"framebox"}, u"ooM");
    add(t, {u"resizebox"}, u"*mmM");
    add(t, {u"scalebox"}, u"moM");
    add(t, {u"rotatebox"}, u"omM");
    add(t, {u"adjustbox"}, u"mM");
    add(t, {u"multicolumn"}, u"mmM");
    add(t, {u"multirow"}, u"omomM");
    add(t, {u"cmidrule"}, u"opm");

    // Fonts and languages: font names and text in another language.
    add(t,
        {u"setmainfont", u"setsansfont", u"setmonofont", u"setromanfont", u"setmathfont",
         u"fontspec", u"setCJKmainfont"},
        u"omo");
    add(t, {u"newfontfamily", u"newfontface", u"setfontfamily"}, u"como");
    add(t, {u"babelfont"}, u"omom");
    add(t, {u"defaultfontfeatures"}, u"om");
    add(t, {u"usefont"}, u"mmmm");
    add(t, {u"foreignlanguage"}, u"omm");
    add(t, {u"setdefaultlanguage", u"setmainlanguage", u"setotherlanguage"}, u"om");

    // Units.
    add(t, {u"SI"}, u"omom");
    add(t, {u"si", u"num", u"unit", u"ang"}, u"om");
    add(t, {u"qty"}, u"omm");
    add(t, {u"SIrange", u"qtyrange"}, u"ommm");

    // Verbatim text in a line.
    add(t, {u"verb", u"Verb"}, u"*v");
    add(t, {u"lstinline"}, u"ov");
    add(t, {u"mintinline"}, u"omv");
    return t;
}

Table environmentTable()
{
    Table t;
    add(t,
        {u"tabular", u"longtable", u"longtable*", u"array", u"xtabular", u"supertabular",
         u"mpsupertabular", u"tblr", u"longtblr", u"talltblr", u"NiceArray"},
        u"om");
    add(t, {u"tabular*", u"tabularx", u"tabulary", u"xltabular"}, u"mom");
    add(t, {u"NiceTabular"}, u"omo");
    add(t,
        {u"figure", u"figure*", u"table", u"table*", u"itemize", u"enumerate", u"description",
         u"tikzpicture", u"axis", u"scope", u"tcolorbox"},
        u"o");
    add(t, {u"wrapfigure", u"wraptable"}, u"omom");
    add(t, {u"subfigure", u"subtable"}, u"om");
    add(t, {u"minipage"}, u"ooom");
    add(t, {u"multicols", u"multicols*"}, u"mO");
    add(t, {u"thebibliography", u"adjustbox", u"hyphenrules"}, u"m");
    // Verbatim bodies, and bodies in another language that the dictionary would
    // take for misspellings.
    add(t,
        {u"verbatim", u"verbatim*", u"spverbatim", u"alltt", u"comment", u"luacode", u"luacode*",
         u"pycode", u"pyblock", u"pyconsole", u"pyverbatim", u"sageblock", u"sagesilent",
         u"sagecommandline", u"asydef", u"Sinput", u"Soutput", u"Scode"},
        u"V");
    add(t,
        {u"lstlisting", u"Verbatim", u"Verbatim*", u"BVerbatim", u"LVerbatim", u"asy", u"gnuplot"},
        u"oV");
    add(t, {u"minted", u"filecontents", u"filecontents*", u"SaveVerbatim"}, u"omV");
    add(t, {u"VerbatimOut", u"tcblisting", u"otherlanguage", u"otherlanguage*"}, u"mV");
    return t;
}

} // namespace

QString ArgumentSignatures::command(QStringView name)
{
    static const Table table = commandTable();
    const auto found = table.constFind(name.toString());
    if (found != table.constEnd())
        return *found;
    // \hypersetup, \captionsetup, \sisetup, \lstset, \tikzset, \pgfplotsset: options,
    // with the kind of float or list they are for in brackets.
    if (name.endsWith(u"setup") || (name.size() > 3 && name.endsWith(u"set")))
        return QStringLiteral("om");
    return QStringLiteral("D");
}

QString ArgumentSignatures::environment(QStringView name)
{
    static const Table table = environmentTable();
    return table.value(name.toString(), QStringLiteral("D"));
}

bool ArgumentSignatures::isMathEnvironment(QStringView name)
{
    static const QSet<QString> names = {
        QStringLiteral("equation"),    QStringLiteral("align"),       QStringLiteral("gather"),
        QStringLiteral("multline"),    QStringLiteral("flalign"),     QStringLiteral("alignat"),
        QStringLiteral("xalignat"),    QStringLiteral("eqnarray"),    QStringLiteral("math"),
        QStringLiteral("displaymath"), QStringLiteral("split"),       QStringLiteral("dmath"),
        QStringLiteral("dgroup"),      QStringLiteral("darray"),      QStringLiteral("empheq"),
        QStringLiteral("tikzcd"),      QStringLiteral("IEEEeqnarray")};
    QStringView base = name;
    if (base.endsWith(u'*'))
        base.chop(1);
    return names.contains(base.toString());
}
