#include "platform/Log.h"

#include <QDebug>
#include <QString>

Q_LOGGING_CATEGORY(quillsetPlatform, "quillset.platform", QtWarningMsg)
Q_LOGGING_CATEGORY(quillsetModel, "quillset.model", QtWarningMsg)
Q_LOGGING_CATEGORY(quillsetEditor, "quillset.editor", QtWarningMsg)
Q_LOGGING_CATEGORY(quillsetCompile, "quillset.compile", QtWarningMsg)
Q_LOGGING_CATEGORY(quillsetPdf, "quillset.pdf", QtWarningMsg)
Q_LOGGING_CATEGORY(quillsetFind, "quillset.find", QtWarningMsg)
Q_LOGGING_CATEGORY(quillsetApp, "quillset.app", QtWarningMsg)

void qsLog(const QLoggingCategory &(*category)(), const QString &line)
{
    qCInfo(category).noquote() << line;
}
