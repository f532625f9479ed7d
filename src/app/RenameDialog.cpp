#include "app/RenameDialog.h"

#include "app/FileRename.h"
#include "editor/completion/CompletionCatalog.h"
#include "model/FileSymbols.h"
#include "model/LandmarkScanner.h"
#include "model/QSFile.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

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
    case UsageName::Kind::File:
        return RenameDialog::tr("file");
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
    case UsageName::Kind::File: // FileRename::refusal says what a file's name may hold
        return true;
    }
    return false;
}

} // namespace

RenameDialog::RenameDialog(const UsageName &name, const QList<DocumentMatches::Source> &sources,
                           const Databases &databases, QWidget *parent)
    : QDialog(parent)
    , _name(name)
    , _sources(sources)
    , _databases(databases)
    , _places(placesIn(name, sources, databases))
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
    _rename = _buttons->addButton(tr("Rename"), QDialogButtonBox::AcceptRole);
    _rename->setDefault(true);
    layout->addWidget(_buttons);
    connect(_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(_newName, &QLineEdit::textChanged, this, &RenameDialog::check);

    // Grouped by file; each row the line and its text as the find list shows it,
    // checked unless in a comment. Lines are counted once through each file.
    // A database's places are byte offsets in its text of one character a byte.
    QTreeWidgetItem *fileItem = nullptr;
    const QString *text = nullptr;
    int line = 1;
    qsizetype countedUpTo = 0;
    for (qsizetype i = 0; i < _places.size(); ++i) {
        const Place &place = _places[i];
        const auto [group, placeText, length] = shownAs(place);
        if (placeText != text) {
            text = placeText;
            fileItem = new QTreeWidgetItem(_list, {group});
            line = 1;
            countedUpTo = 0;
        }
        const QStringView view(*text);
        line += int(view.mid(countedUpTo, place.offset - countedUpTo).count(u'\n'));
        countedUpTo = place.offset;
        const DocumentMatches::Match shown = DocumentMatches::matchOnLine(
            *text, QSRange{quint32(place.offset), quint32(length)},
            view.lastIndexOf(u'\n', qMax(0, place.offset - 1)) + 1, line);
        auto *row = new QTreeWidgetItem(
            fileItem, {QStringLiteral("%1: %2").arg(shown.line).arg(shown.lineText)});
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

QList<RenameDialog::Place> RenameDialog::unchecked() const
{
    QList<Place> left;
    for (QTreeWidgetItemIterator it(_list); *it; ++it) {
        const QVariant index = (*it)->data(0, Qt::UserRole);
        if (index.isValid() && (*it)->checkState(0) != Qt::Checked)
            left.append(_places.at(index.toInt()));
    }
    return left;
}

QSet<std::pair<const QSFile *, qint32>> RenameDialog::leftOut() const
{
    QSet<std::pair<const QSFile *, qint32>> left;
    for (const Place &place : unchecked())
        if (place.file)
            left.insert({place.file.get(), place.offset});
    return left;
}

QSet<std::pair<QString, qint32>> RenameDialog::leftOutOfDatabases() const
{
    QSet<std::pair<QString, qint32>> left;
    for (const Place &place : unchecked())
        if (!place.file)
            left.insert({place.database, place.offset});
    return left;
}

QString RenameDialog::unsavableFile() const
{
    const QSet<std::pair<const QSFile *, qint32>> left = leftOut();
    QSet<const QSFile *> looked;
    for (const Place &place : _places) {
        const QSFile *file = place.file.get();
        if (!file || file->isUntitled() || left.contains({file, place.offset})
            || looked.contains(file))
            continue;
        looked.insert(file);
        const QFileInfo info(file->pathText());
        if (!info.exists())
            return tr("%1 is gone from disk.").arg(file->name());
        if (file->hasFileChanged())
            return tr("%1 changed on disk since it was read.").arg(file->name());
        if (!info.isWritable())
            return tr("%1 is read-only.").arg(file->name());
    }
    return QString();
}

QString RenameDialog::pathOf(const UsageName &file, const QList<DocumentMatches::Source> &sources)
{
    return sources.isEmpty() || sources.first().file->isUntitled()
               ? QString()
               : QDir::cleanPath(QDir(sources.first().file->directory()).filePath(file.name));
}

RenameDialog::Shown RenameDialog::shownAs(const Place &place) const
{
    if (!place.file) {
        const auto database = std::find_if(
            _databases.cbegin(), _databases.cend(),
            [&place](const BibEntryRename::Database &d) { return d.path == place.database; });
        return {database->name, &database->text, qsizetype(_name.name.toUtf8().size())};
    }
    const auto source =
        std::find_if(_sources.cbegin(), _sources.cend(),
                     [&place](const DocumentMatches::Source &s) { return s.file == place.file; });
    return {source->name, &source->text, place.length > 0 ? place.length : _name.name.size()};
}

void RenameDialog::check()
{
    const QString why = refusal(_name, newName(), _sources, _databases);
    _reason->setText(why);
    _rename->setEnabled(why.isEmpty());
}

QList<RenameDialog::Place> RenameDialog::placesIn(const UsageName &name,
                                                  const QList<DocumentMatches::Source> &sources,
                                                  const Databases &databases)
{
    QList<Place> places;
    if (name.kind == UsageName::Kind::File) {
        for (const FileRename::Place &place : FileRename::placesOf(pathOf(name, sources), sources))
            places.append({place.file,
                           qint32(place.include.start),
                           place.include.inComment,
                           {},
                           qint32(place.include.length)});
        return places;
    }
    for (const DocumentMatches::Source &source : sources)
        for (const Usage &usage : UsageScanner::inText(source.text, name))
            places.append({source.file, usage.offset, usage.inComment, {}, 0});
    if (name.kind == UsageName::Kind::CitationKey)
        for (const BibEntryRename::Database &database : databases)
            for (const Usage &entry : database.places)
                places.append({nullptr, entry.offset, false, database.path, 0});
    return places;
}

QString RenameDialog::refusal(const UsageName &name, const QString &newName,
                              const QList<DocumentMatches::Source> &sources,
                              const Databases &databases)
{
    if (newName.isEmpty())
        return tr("Type the new name.");
    if (name.kind == UsageName::Kind::File)
        return sources.isEmpty()
                   ? tr("The document is not saved yet.")
                   : FileRename::refusal(sources.first().file->directory(), name.name, newName);
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
    // A command or environment of LaTeX or of a package, as completion knows them:
    // the document's own definition would clash with it, or replace it.
    if (name.kind == UsageName::Kind::Command || name.kind == UsageName::Kind::Environment) {
        const bool command = name.kind == UsageName::Kind::Command;
        const CompletionCatalog &catalog = CompletionCatalog::shared();
        const QString known = command ? u'\\' + newName : newName;
        for (const CompletionItem &item : command ? catalog.commands() : catalog.environments())
            if (item.name == known)
                return item.where == QLatin1String("latex")
                           ? tr("%1 is already defined by LaTeX.").arg(known)
                           : tr("%1 is already defined by the %2 package.").arg(known, item.where);
    }
    const UsageName taken{name.kind, newName};
    for (const DocumentMatches::Source &source : sources)
        if (!UsageScanner::inText(source.text, taken).isEmpty())
            return tr("The %1 %2 is already used in %3.")
                .arg(kindName(name.kind), newName, source.name);
    if (name.kind == UsageName::Kind::CitationKey)
        for (const BibEntryRename::Database &database : databases)
            if (BibEntryRename::defines({database}, newName))
                return tr("The citation key %1 is already an entry of %2.")
                    .arg(newName, database.name);
    return QString();
}

bool RenameDialog::isDefined(const UsageName &name, const QList<DocumentMatches::Source> &sources,
                             const Databases &databases)
{
    if (name.kind == UsageName::Kind::Label || name.kind == UsageName::Kind::File)
        return true;
    if (name.kind == UsageName::Kind::CitationKey && BibEntryRename::defines(databases, name.name))
        return true;
    for (const DocumentMatches::Source &source : sources) {
        if (name.kind == UsageName::Kind::CitationKey) {
            for (const Landmark &landmark : LandmarkScanner::scan(source.text))
                if (landmark.kind == Landmark::Kind::BibItem && landmark.key == name.name)
                    return true;
            continue;
        }
        // What completion offers as the document's own definitions.
        const std::shared_ptr<const FileSymbols> symbols = source.file->symbols();
        const bool command = name.kind == UsageName::Kind::Command;
        for (const Symbol &symbol : command ? symbols->commands : symbols->environments)
            if (symbol.name == (command ? u'\\' + name.name : name.name))
                return true;
    }
    return false;
}
