#include "app/RenameDialog.h"

#include "model/LandmarkScanner.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString kindName(UsageName::Kind kind)
{
    switch (kind) {
    case UsageName::Kind::Label:
        return RenameDialog::tr("label");
    case UsageName::Kind::CitationKey:
        return RenameDialog::tr("citation key");
    case UsageName::Kind::Command:
        return RenameDialog::tr("command");
    case UsageName::Kind::Environment:
        return RenameDialog::tr("environment");
    }
    return {};
}

// A new name as TeX would read it back: keys hold no braces, backslashes,
// comment or parameter characters, no comma (lists split there) and no space at
// their ends; commands are letters; environments letters and a star.
bool isWellFormed(UsageName::Kind kind, const QString &name)
{
    static const QRegularExpression key(
        QStringLiteral("^[^\\s{}\\\\%#,~]([^{}\\\\%#,]*[^\\s{}\\\\%#,])?$"));
    static const QRegularExpression command(QStringLiteral("^[A-Za-z]+$"));
    static const QRegularExpression environment(QStringLiteral("^[A-Za-z]+\\*?$"));
    switch (kind) {
    case UsageName::Kind::Label:
    case UsageName::Kind::CitationKey:
        return key.match(name).hasMatch();
    case UsageName::Kind::Command:
        return command.match(name).hasMatch();
    case UsageName::Kind::Environment:
        return environment.match(name).hasMatch();
    }
    return false;
}

} // namespace

RenameDialog::RenameDialog(const UsageName &name, const QList<DocumentMatches::Source> &sources,
                           QWidget *parent)
    : QDialog(parent)
    , _name(name)
    , _sources(sources)
    , _places(placesIn(name, sources))
    , _newName(new QLineEdit(name.name, this))
    , _list(new QTreeWidget(this))
    , _reason(new QLabel(this))
    , _buttons(new QDialogButtonBox(QDialogButtonBox::Cancel, this))
{
    setObjectName(QStringLiteral("renameDialog"));
    setWindowTitle(tr("Rename"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("New name of the %1 %2:").arg(kindName(name.kind), name.name)));
    _newName->setAccessibleName(tr("New name"));
    layout->addWidget(_newName);
    _list->setHeaderHidden(true);
    _list->setAccessibleName(tr("Places to rename"));
    layout->addWidget(_list);
    _reason->setObjectName(QStringLiteral("renameRefusal"));
    _reason->setWordWrap(true);
    layout->addWidget(_reason);
    QPushButton *rename = _buttons->addButton(tr("Rename"), QDialogButtonBox::AcceptRole);
    rename->setDefault(true);
    layout->addWidget(_buttons);
    connect(_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(_newName, &QLineEdit::textChanged, this, &RenameDialog::check);

    // Grouped by file; each row the line and its text, checked unless in a comment.
    QTreeWidgetItem *fileItem = nullptr;
    const QSFile *lastFile = nullptr;
    for (qsizetype i = 0; i < _places.size(); ++i) {
        const Place &place = _places[i];
        const auto source = std::find_if(
            _sources.cbegin(), _sources.cend(),
            [&place](const DocumentMatches::Source &s) { return s.file == place.file; });
        if (source == _sources.cend())
            continue;
        if (place.file.get() != lastFile) {
            fileItem = new QTreeWidgetItem(_list, {source->name});
            lastFile = place.file.get();
        }
        const QStringView text(source->text);
        const int line = int(text.left(place.offset).count(u'\n')) + 1;
        const qsizetype start = text.lastIndexOf(u'\n', qMax(0, place.offset - 1)) + 1;
        qsizetype end = text.indexOf(u'\n', place.offset);
        end = end < 0 ? text.size() : end;
        auto *row = new QTreeWidgetItem(
            fileItem, {QStringLiteral("%1: %2").arg(line).arg(
                          text.mid(start, qMin<qsizetype>(end - start, 160)).trimmed())});
        row->setData(0, Qt::UserRole, int(i));
        row->setCheckState(0, place.inComment ? Qt::Unchecked : Qt::Checked);
        if (place.inComment)
            row->setToolTip(0, tr("In a comment: left as it is unless ticked"));
    }
    _list->expandAll();
    _newName->selectAll();
    resize(560, 420);
    check();
}

QString RenameDialog::newName() const
{
    return _newName->text().trimmed();
}

QSet<std::pair<const QSFile *, qint32>> RenameDialog::leftOut() const
{
    QSet<std::pair<const QSFile *, qint32>> left;
    for (QTreeWidgetItemIterator it(_list); *it; ++it) {
        const QVariant index = (*it)->data(0, Qt::UserRole);
        if (index.isValid() && (*it)->checkState(0) != Qt::Checked) {
            const Place &place = _places.at(index.toInt());
            left.insert({place.file.get(), place.offset});
        }
    }
    return left;
}

void RenameDialog::check()
{
    const QString why = refusal(_name, newName(), _sources);
    _reason->setText(why);
    for (QAbstractButton *button : _buttons->buttons())
        if (_buttons->buttonRole(button) == QDialogButtonBox::AcceptRole)
            button->setEnabled(why.isEmpty());
}

QList<RenameDialog::Place> RenameDialog::placesIn(const UsageName &name,
                                                  const QList<DocumentMatches::Source> &sources)
{
    QList<Place> places;
    for (const DocumentMatches::Source &source : sources)
        for (const Usage &usage : UsageScanner::inText(source.text, name))
            places.append({source.file, usage.offset, usage.inComment});
    return places;
}

QString RenameDialog::refusal(const UsageName &name, const QString &newName,
                              const QList<DocumentMatches::Source> &sources)
{
    if (newName.isEmpty())
        return tr("Type the new name.");
    if (newName == name.name)
        return tr("That is the name it has.");
    if (!isWellFormed(name.kind, newName))
        return name.kind == UsageName::Kind::Command
                   ? tr("A command's name is made of letters only.")
               : name.kind == UsageName::Kind::Environment
                   ? tr("An environment's name is made of letters, and a star at its end.")
                   : tr("A %1 cannot hold braces, a backslash, %, # or a comma, nor begin or end "
                        "with a space.")
                         .arg(kindName(name.kind));
    const UsageName taken{name.kind, newName};
    for (const DocumentMatches::Source &source : sources)
        if (!UsageScanner::inText(source.text, taken).isEmpty())
            return tr("The %1 %2 is already used in %3.")
                .arg(kindName(name.kind), newName, source.name);
    return QString();
}

bool RenameDialog::isDefined(const UsageName &name, const QList<DocumentMatches::Source> &sources)
{
    if (name.kind == UsageName::Kind::Label)
        return true;
    if (name.kind == UsageName::Kind::CitationKey) {
        for (const DocumentMatches::Source &source : sources)
            for (const Landmark &landmark : LandmarkScanner::scan(source.text))
                if (landmark.kind == Landmark::Kind::BibItem && landmark.key == name.name)
                    return true;
        return false;
    }
    const QString escaped = QRegularExpression::escape(name.name);
    const QRegularExpression definition(
        name.kind == UsageName::Kind::Command
            ? QStringLiteral("\\\\(?:newcommand|renewcommand|providecommand|DeclareMathOperator|"
                             "def|gdef|edef|xdef|let|NewDocumentCommand|RenewDocumentCommand|"
                             "ProvideDocumentCommand|DeclareRobustCommand)\\*?\\s*\\{?\\s*\\\\%1"
                             "(?![A-Za-z])")
                  .arg(escaped)
            : QStringLiteral("\\\\(?:newenvironment|renewenvironment|provideenvironment|"
                             "NewDocumentEnvironment|RenewDocumentEnvironment|newtheorem)\\*?"
                             "\\s*\\{\\s*%1\\s*\\}")
                  .arg(escaped));
    for (const DocumentMatches::Source &source : sources)
        if (definition.match(source.text).hasMatch())
            return true;
    return false;
}
