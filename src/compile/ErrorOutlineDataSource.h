#pragma once

#include <QAbstractItemModel>
#include <memory>

class ErrorWarningNode;
class LatexLogParser;
class QSFile;

// The error tree of the console as an item model: a row per file of the last
// compile that has diagnostics, under it a row per error or warning.
class ErrorOutlineDataSource : public QAbstractItemModel
{
    Q_OBJECT

public:
    explicit ErrorOutlineDataSource(LatexLogParser *logParser, QObject *parent = nullptr);

    // The diagnostic a row shows, or none for a file row.
    std::shared_ptr<ErrorWarningNode> diagnosticForIndex(const QModelIndex &index) const;
    std::shared_ptr<QSFile> fileForIndex(const QModelIndex &index) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &index) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    LatexLogParser *_logParser; // not owned
};
