#include "app/SaveChangesDataSource.h"

#include "model/QSFile.h"

SaveChangesDataSource::SaveChangesDataSource(QList<std::shared_ptr<QSFile>> files, QObject *parent)
    : QAbstractTableModel(parent)
    , _filesThatHasChanged(std::move(files))
    , _checkedFiles(_filesThatHasChanged.size(), 0)
{}

int SaveChangesDataSource::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(_filesThatHasChanged.size());
}

int SaveChangesDataSource::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant SaveChangesDataSource::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (index.column() == FilenameColumn && role == Qt::DisplayRole)
        return _filesThatHasChanged.at(index.row())->name();
    if (index.column() == CheckBoxColumn && role == Qt::CheckStateRole)
        return _checkedFiles.at(index.row()) == 1 ? Qt::Checked : Qt::Unchecked;
    return {};
}

QVariant SaveChangesDataSource::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == FilenameColumn ? tr("File") : tr("Save");
}

// A click toggles the mark, whatever value the view passes.
bool SaveChangesDataSource::setData(const QModelIndex &index, const QVariant &, int role)
{
    if (!index.isValid() || index.column() != CheckBoxColumn || role != Qt::CheckStateRole)
        return false;
    _checkedFiles[index.row()] = _checkedFiles.at(index.row()) == 1 ? 0 : 1;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

Qt::ItemFlags SaveChangesDataSource::flags(const QModelIndex &index) const
{
    Qt::ItemFlags itemFlags = QAbstractTableModel::flags(index);
    if (index.column() == CheckBoxColumn)
        itemFlags |= Qt::ItemIsUserCheckable;
    return itemFlags;
}
