#include "compile/ErrorOutlineDataSource.h"

#include "compile/LatexLogParser.h"
#include "model/ErrorWarningNode.h"
#include "model/QSFile.h"
#include "platform/OutlineAppearance.h"

// A file row has internal id 0; a diagnostic row carries its file row's number + 1.
ErrorOutlineDataSource::ErrorOutlineDataSource(LatexLogParser *logParser, QObject *parent)
    : QAbstractItemModel(parent)
    , _logParser(logParser)
{
    connect(logParser, &LatexLogParser::filesWithErrorsWillChange, this,
            &ErrorOutlineDataSource::beginResetModel);
    connect(logParser, &LatexLogParser::filesWithErrorsDidChange, this,
            &ErrorOutlineDataSource::endResetModel);
}

std::shared_ptr<QSFile> ErrorOutlineDataSource::fileForIndex(const QModelIndex &index) const
{
    if (!index.isValid())
        return nullptr;
    const qsizetype fileRow =
        index.internalId() == 0 ? index.row() : qsizetype(index.internalId()) - 1;
    return _logParser->filesWithErrors().value(fileRow);
}

std::shared_ptr<ErrorWarningNode>
ErrorOutlineDataSource::diagnosticForIndex(const QModelIndex &index) const
{
    if (!index.isValid() || index.internalId() == 0)
        return nullptr;
    const std::shared_ptr<QSFile> file = fileForIndex(index);
    return file ? file->compileErrorsAndWarnings().value(index.row()) : nullptr;
}

QModelIndex ErrorOutlineDataSource::index(int row, int column, const QModelIndex &parent) const
{
    if (!hasIndex(row, column, parent))
        return {};
    return createIndex(row, column, parent.isValid() ? quintptr(parent.row()) + 1 : 0);
}

QModelIndex ErrorOutlineDataSource::parent(const QModelIndex &index) const
{
    if (!index.isValid() || index.internalId() == 0)
        return {};
    return createIndex(int(index.internalId() - 1), 0, quintptr(0));
}

int ErrorOutlineDataSource::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return int(_logParser->filesWithErrors().size());
    if (parent.column() != 0 || parent.internalId() != 0)
        return 0;
    const std::shared_ptr<QSFile> file = fileForIndex(parent);
    return file ? int(file->compileErrorsAndWarnings().size()) : 0;
}

int ErrorOutlineDataSource::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant ErrorOutlineDataSource::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const std::shared_ptr<ErrorWarningNode> diagnostic = diagnosticForIndex(index);
    const std::shared_ptr<QSFile> file = fileForIndex(index);
    if (role == Qt::DisplayRole) {
        if (diagnostic)
            return diagnostic->msg;
        return file ? QVariant(file->name()) : QVariant(QStringLiteral("nil obj"));
    }
    if (role == Qt::DecorationRole) {
        return OutlineAppearance::iconForType(diagnostic ? diagnostic->type
                                                         : QStringLiteral("quillsetFile"));
    }
    return {};
}
