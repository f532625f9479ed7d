#pragma once

#include <QAbstractTableModel>
#include <memory>

class QSFile;

// The save-changes table: one row per file, its name and a check mark that says
// whether to save it (all unchecked at first; each click toggles).
class SaveChangesDataSource : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { FilenameColumn, CheckBoxColumn };

    explicit SaveChangesDataSource(QList<std::shared_ptr<QSFile>> files, QObject *parent = nullptr);
    bool shouldFileAtIndexBeSaved(qsizetype index) const { return _checkedFiles.value(index) == 1; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    QList<std::shared_ptr<QSFile>> _filesThatHasChanged;
    QList<int> _checkedFiles;
};
