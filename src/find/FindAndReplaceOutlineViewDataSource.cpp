#include "find/FindAndReplaceOutlineViewDataSource.h"

#include "model/QSFile.h"
#include "platform/OutlineAppearance.h"

// A file row's internal id is 0; a match row's is its file's row plus 1.

void FindAndReplaceOutlineViewDataSource::setMatches(const DocumentMatches &matches)
{
    beginResetModel();
    _matches = matches;
    endResetModel();
}

bool FindAndReplaceOutlineViewDataSource::isMatchRow(const QModelIndex &index) const
{
    return index.isValid() && index.model() == this && index.internalId() != 0;
}

std::pair<std::shared_ptr<QSFile>, QSRange>
FindAndReplaceOutlineViewDataSource::matchForIndex(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this)
        return {nullptr, QSRange{QSNotFound, 0}};
    if (!isMatchRow(index)) {
        const DocumentMatches::File &file = _matches.files().at(index.row());
        return {file.file, file.firstRange};
    }
    const DocumentMatches::File &file = _matches.files().at(int(index.internalId() - 1));
    return {file.file, file.matches.at(index.row()).range};
}

QModelIndex FindAndReplaceOutlineViewDataSource::index(int row, int column,
                                                       const QModelIndex &parent) const
{
    if (!hasIndex(row, column, parent))
        return {};
    return createIndex(row, column, parent.isValid() ? quintptr(parent.row() + 1) : quintptr(0));
}

QModelIndex FindAndReplaceOutlineViewDataSource::parent(const QModelIndex &index) const
{
    if (!isMatchRow(index))
        return {};
    return createIndex(int(index.internalId() - 1), 0, quintptr(0));
}

int FindAndReplaceOutlineViewDataSource::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return int(_matches.files().size());
    // Another model's index (a view handed one by mistake) has no rows here.
    if (isMatchRow(parent) || parent.column() != 0 || parent.model() != this
        || parent.row() >= _matches.files().size())
        return 0;
    return int(_matches.files().at(parent.row()).matches.size());
}

int FindAndReplaceOutlineViewDataSource::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant FindAndReplaceOutlineViewDataSource::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (!isMatchRow(index)) {
        const DocumentMatches::File &file = _matches.files().at(index.row());
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return QStringLiteral("%1 (%2)").arg(file.name).arg(file.count);
        case Qt::ToolTipRole:
            return file.file ? file.file->pathText() : file.name;
        case Qt::DecorationRole:
            return OutlineAppearance::iconForType(QStringLiteral("quillsetFile"));
        case MatchCountRole:
            return qlonglong(file.count);
        default:
            return {};
        }
    }
    const DocumentMatches::File &file = _matches.files().at(int(index.internalId() - 1));
    const DocumentMatches::Match &match = file.matches.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return QStringLiteral("%1: %2").arg(match.line).arg(match.lineText);
    case Qt::ToolTipRole:
        return tr("Line %1 of %2").arg(match.line).arg(file.name);
    case LineNumberRole:
        return match.line;
    case LineTextRole:
        return match.lineText;
    case MarkStartRole:
        return qlonglong(match.markStart);
    case MarkLengthRole:
        return qlonglong(match.markLength);
    default:
        return {};
    }
}
