#include "compile/ErrorOutlineDataSource.h"

#include "compile/LatexLogParser.h"
#include "model/ErrorWarningNode.h"
#include "model/QSFile.h"
#include "platform/OutlineAppearance.h"

#include <QSet>
#include <algorithm>

// A top-level row has internal id 0; a diagnostic row carries its file row's number + 1.
ErrorOutlineDataSource::ErrorOutlineDataSource(LatexLogParser *logParser, QObject *parent)
    : QAbstractItemModel(parent)
    , _logParser(logParser)
{
    connect(logParser, &LatexLogParser::filesWithErrorsWillChange, this,
            &ErrorOutlineDataSource::beginResetModel);
    connect(logParser, &LatexLogParser::filesWithErrorsDidChange, this, [this] {
        chooseRows();
        endResetModel();
    });
    chooseRows();
}

// A log can hold thousands of diagnostics, a tree of them helps nobody and costs
// time to lay out: the errors come first, for they are what stops the document.
void ErrorOutlineDataSource::chooseRows()
{
    const QList<std::shared_ptr<QSFile>> &files = _logParser->filesWithErrors();
    QSet<const ErrorWarningNode *> chosen;
    int total = 0;
    for (const bool errors : {true, false}) {
        for (const std::shared_ptr<QSFile> &file : files) {
            for (const std::shared_ptr<ErrorWarningNode> &node : file->compileErrorsAndWarnings()) {
                if ((node->type == QStringLiteral("error")) != errors)
                    continue;
                ++total;
                if (chosen.size() < rowLimit)
                    chosen.insert(node.get());
            }
        }
    }
    _shown.clear();
    for (const std::shared_ptr<QSFile> &file : files) {
        Shown shown{file, {}};
        for (const std::shared_ptr<ErrorWarningNode> &node : file->compileErrorsAndWarnings()) {
            if (chosen.contains(node.get()))
                shown.diagnostics << node;
        }
        if (!shown.diagnostics.isEmpty())
            _shown << shown;
    }
    _hidden = total - int(chosen.size());
}

std::shared_ptr<QSFile> ErrorOutlineDataSource::fileForIndex(const QModelIndex &index) const
{
    if (!index.isValid())
        return nullptr;
    const qsizetype fileRow =
        index.internalId() == 0 ? index.row() : qsizetype(index.internalId()) - 1;
    if (fileRow == referencesRow()) {
        const std::shared_ptr<ErrorWarningNode> problem = diagnosticForIndex(index);
        return problem ? problem->file.lock() : nullptr;
    }
    return fileRow < _shown.size() ? _shown.at(fileRow).file : nullptr;
}

std::shared_ptr<ErrorWarningNode>
ErrorOutlineDataSource::diagnosticForIndex(const QModelIndex &index) const
{
    if (!index.isValid() || index.internalId() == 0)
        return nullptr;
    const qsizetype fileRow = qsizetype(index.internalId()) - 1;
    if (fileRow == referencesRow())
        return index.row() < rowLimit ? _references.value(index.row()) : nullptr;
    return fileRow < _shown.size() ? _shown.at(fileRow).diagnostics.value(index.row()) : nullptr;
}

int ErrorOutlineDataSource::referenceRows(qsizetype problems)
{
    return int(qMin(problems, qsizetype(rowLimit))) + (problems > rowLimit ? 1 : 0);
}

QModelIndex ErrorOutlineDataSource::referencesIndex() const
{
    return _references.isEmpty() ? QModelIndex() : index(referencesRow(), 0);
}

// The problems change with the typing: rows are replaced in place, and only those
// past the shorter list come or go, so that the tree keeps its selection and the
// "References" row stays open.
void ErrorOutlineDataSource::setReferenceProblems(
    const QList<std::shared_ptr<ErrorWarningNode>> &problems)
{
    const auto same = [](const std::shared_ptr<ErrorWarningNode> &a,
                         const std::shared_ptr<ErrorWarningNode> &b) {
        return a->msg == b->msg && a->lineNumber == b->lineNumber && !a->file.owner_before(b->file)
               && !b->file.owner_before(a->file);
    };
    if (std::equal(problems.cbegin(), problems.cend(), _references.cbegin(), _references.cend(),
                   same))
        return;
    const int group = referencesRow();
    if (_references.isEmpty() || problems.isEmpty()) {
        if (_references.isEmpty())
            beginInsertRows({}, group, group);
        else
            beginRemoveRows({}, group, group);
        _references = problems;
        if (problems.isEmpty())
            endRemoveRows();
        else
            endInsertRows();
        return;
    }
    // Rows go or come with the data they had; the rows that stay then change theirs.
    const QModelIndex parent = index(group, 0);
    const int before = referenceRows(_references.size());
    const int after = referenceRows(problems.size());
    if (after < before) {
        beginRemoveRows(parent, after, before - 1);
        _references = _references.mid(0, after);
        endRemoveRows();
    } else if (after > before) {
        beginInsertRows(parent, before, after - 1);
        _references = _references.mid(0, before) + problems.mid(before);
        endInsertRows();
    }
    _references = problems;
    emit dataChanged(index(0, 0, parent), index(qMin(before, after) - 1, 0, parent));
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
        return referencesRow() + (_references.isEmpty() ? 0 : 1);
    if (parent.column() != 0 || parent.internalId() != 0)
        return 0;
    if (parent.row() == referencesRow())
        return referenceRows(_references.size());
    if (parent.row() >= _shown.size())
        return 0;
    return int(_shown.at(parent.row()).diagnostics.size());
}

int ErrorOutlineDataSource::columnCount(const QModelIndex &) const
{
    return 1;
}

Qt::ItemFlags ErrorOutlineDataSource::flags(const QModelIndex &index) const
{
    // The rows that only say that there is more: there is nothing to go to.
    const bool more =
        index.isValid()
        && (index.internalId() == 0
                ? index.row() >= _shown.size() && index.row() != referencesRow()
                : qsizetype(index.internalId()) - 1 == referencesRow() && index.row() >= rowLimit);
    if (more)
        return Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    return QAbstractItemModel::flags(index);
}

QVariant ErrorOutlineDataSource::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const bool references = index.internalId() == 0
                                ? !_references.isEmpty() && index.row() == referencesRow()
                                : qsizetype(index.internalId()) - 1 == referencesRow();
    if (references)
        return referencesData(index, role);
    const std::shared_ptr<ErrorWarningNode> diagnostic = diagnosticForIndex(index);
    const std::shared_ptr<QSFile> file = fileForIndex(index);
    if (!diagnostic && !file) {
        if (role == Qt::DisplayRole)
            return tr("… and %n more", nullptr, _hidden);
        if (role == Qt::ToolTipRole)
            return tr("The tree lists the first %1 errors and warnings of the compile; the "
                      "engine's log has all of them.")
                .arg(rowLimit);
        return {};
    }
    if (role == Qt::DisplayRole) {
        if (!diagnostic)
            return file->name();
        // Under the message, the source as far as the engine had read it (its
        // culprit at the end) and the hint; the rest of the line is in the tooltip,
        // where it stands under the first in a fixed-width font.
        QStringList lines{diagnostic->msg};
        for (const QString &line : diagnostic->context.split(u'\n', Qt::SkipEmptyParts)) {
            if (!line.startsWith(u' '))
                lines << line;
        }
        if (!diagnostic->hint.isEmpty())
            lines << diagnostic->hint;
        return lines.join(u'\n');
    }
    if (role == Qt::ToolTipRole && diagnostic) {
        QString tip = QStringLiteral("<p>") + diagnostic->msg.trimmed().toHtmlEscaped()
                      + QStringLiteral("</p>");
        if (!diagnostic->context.isEmpty())
            tip += QStringLiteral("<pre>") + diagnostic->context.toHtmlEscaped()
                   + QStringLiteral("</pre>");
        if (!diagnostic->hint.isEmpty())
            tip +=
                QStringLiteral("<p>") + diagnostic->hint.toHtmlEscaped() + QStringLiteral("</p>");
        return tip;
    }
    if (role == Qt::DecorationRole) {
        return OutlineAppearance::iconForType(diagnostic ? diagnostic->type
                                                         : QStringLiteral("quillsetFile"));
    }
    return {};
}

QVariant ErrorOutlineDataSource::referencesData(const QModelIndex &index, int role) const
{
    if (index.internalId() == 0) {
        if (role == Qt::DisplayRole)
            return tr("References");
        if (role == Qt::ToolTipRole)
            return tr("References, citations and labels that the document does not resolve, "
                      "found as you type.");
        return {};
    }
    const std::shared_ptr<ErrorWarningNode> problem = diagnosticForIndex(index);
    if (!problem) {
        if (role == Qt::DisplayRole)
            return tr("… and %n more", nullptr, int(_references.size()) - rowLimit);
        return {};
    }
    const std::shared_ptr<QSFile> file = problem->file.lock();
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return tr("%1, line %2: %3")
            .arg(file ? file->name() : QString(), QString::number(problem->lineNumber),
                 problem->msg);
    if (role == Qt::DecorationRole)
        return OutlineAppearance::iconForType(problem->type);
    return {};
}
