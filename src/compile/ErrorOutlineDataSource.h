#pragma once

#include <QAbstractItemModel>
#include <QList>
#include <memory>

class ErrorWarningNode;
class LatexLogParser;
class QSFile;

// The error tree of the console as an item model: a row per file of the last
// compile that has diagnostics, under it a row per error or warning, showing under
// its message the source line the engine named and a hint. A compile that reports
// more than rowLimit of them shows the first rowLimit, errors before warnings, each
// in log order, and a last top-level row "… and N more" that cannot be chosen.
class ErrorOutlineDataSource : public QAbstractItemModel
{
    Q_OBJECT

public:
    static constexpr int rowLimit = 100;

    explicit ErrorOutlineDataSource(LatexLogParser *logParser, QObject *parent = nullptr);

    // The diagnostic a row shows, or none for a file row or the last row.
    std::shared_ptr<ErrorWarningNode> diagnosticForIndex(const QModelIndex &index) const;
    // The file of a file row or of a diagnostic row, or none.
    std::shared_ptr<QSFile> fileForIndex(const QModelIndex &index) const;
    // How many diagnostics of the last compile are left out of the tree.
    int hiddenCount() const { return _hidden; }

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &index) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    struct Shown
    {
        std::shared_ptr<QSFile> file;
        QList<std::shared_ptr<ErrorWarningNode>> diagnostics;
    };
    // Chooses the rows to show from the parser's files; between a reset's begin and end.
    void chooseRows();

    LatexLogParser *_logParser; // not owned
    QList<Shown> _shown;
    int _hidden = 0;
};
