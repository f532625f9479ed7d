#include "compile/ErrorOutlineDataSource.h"

#include "compile/LatexLogParser.h"
#include "model/ErrorWarningNode.h"
#include "model/QSFile.h"
#include "platform/OutlineAppearance.h"

#include <QSet>

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
    return fileRow < _shown.size() ? _shown.at(fileRow).file : nullptr;
}

std::shared_ptr<ErrorWarningNode>
ErrorOutlineDataSource::diagnosticForIndex(const QModelIndex &index) const
{
    if (!index.isValid() || index.internalId() == 0)
        return nullptr;
    const qsizetype fileRow = qsizetype(index.internalId()) - 1;
    return fileRow < _shown.size() ? _shown.at(fileRow).diagnostics.value(index.row()) : nullptr;
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
        return int(_shown.size()) + (_hidden > 0 ? 1 : 0);
    if (parent.column() != 0 || parent.internalId() != 0 || parent.row() >= _shown.size())
        return 0;
    return int(_shown.at(parent.row()).diagnostics.size());
}

int ErrorOutlineDataSource::columnCount(const QModelIndex &) const
{
    return 1;
}

Qt::ItemFlags ErrorOutlineDataSource::flags(const QModelIndex &index) const
{
    // The last row only says that there is more: there is nothing to go to.
    if (index.isValid() && index.internalId() == 0 && index.row() >= _shown.size())
        return Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    return QAbstractItemModel::flags(index);
}

QVariant ErrorOutlineDataSource::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
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
