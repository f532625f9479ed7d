#pragma once

#include "find/DocumentMatches.h"

#include <QAbstractItemModel>
#include <memory>
#include <utility>

class QSFile;

// The matches of a whole-document search for the outline view, grouped by file: a
// row for each file that holds the text (its name and how many matches), and under
// it a row for each match (its line number and the line, with where the match
// stands in it for the delegate to mark).
class FindAndReplaceOutlineViewDataSource : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Role {
        LineNumberRole = Qt::UserRole + 1, // a match row's line, from 1
        LineTextRole,                      // its line's text
        MarkStartRole,                     // where the match stands in that text
        MarkLengthRole,
        MatchCountRole, // a file row's number of matches
    };

    using QAbstractItemModel::QAbstractItemModel;

    const DocumentMatches &matches() const { return _matches; }
    void setMatches(const DocumentMatches &matches);
    bool isMatchRow(const QModelIndex &index) const;
    // The file and the match a row stands for: a match row's own, a file row's
    // first; no file for any other index.
    std::pair<std::shared_ptr<QSFile>, QSRange> matchForIndex(const QModelIndex &index) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &index) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    DocumentMatches _matches;
};
