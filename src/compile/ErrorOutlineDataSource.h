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
//
// After those, a "References" row lists the problems the reference checks find
// while the document is typed, a row each ("intro.tex, line 12: No \label{x} in this
// document"), the first rowLimit of them and "… and N more". A compile leaves them
// as they are, and they leave the compile's rows as they are.
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
    // The rows of the compile's files.
    int compileRowCount() const { return int(_shown.size()); }

    // Lists the problems (each one's file, line and message) under "References";
    // none takes the row away. Rows that stay keep their place.
    void setReferenceProblems(const QList<std::shared_ptr<ErrorWarningNode>> &problems);
    const QList<std::shared_ptr<ErrorWarningNode>> &referenceProblems() const
    {
        return _references;
    }
    // The "References" row; invalid while there is none.
    QModelIndex referencesIndex() const;

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
    QVariant referencesData(const QModelIndex &index, int role) const;
    // Where the "References" row is, or would be.
    int referencesRow() const { return int(_shown.size()) + (_hidden > 0 ? 1 : 0); }
    // The rows under it for that many problems.
    static int referenceRows(qsizetype problems);

    LatexLogParser *_logParser; // not owned
    QList<Shown> _shown;
    int _hidden = 0;
    QList<std::shared_ptr<ErrorWarningNode>> _references;
};
