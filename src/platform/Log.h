#pragma once

#include <QLoggingCategory>

class QString;

// One category for each folder of the program, all quiet unless turned on: for
// example QT_LOGGING_RULES="quillset.compile=true" for the compile side, or
// "quillset.*=true" for everything.
Q_DECLARE_LOGGING_CATEGORY(quillsetPlatform)
Q_DECLARE_LOGGING_CATEGORY(quillsetModel)
Q_DECLARE_LOGGING_CATEGORY(quillsetEditor)
Q_DECLARE_LOGGING_CATEGORY(quillsetCompile)
Q_DECLARE_LOGGING_CATEGORY(quillsetPdf)
Q_DECLARE_LOGGING_CATEGORY(quillsetFind)
Q_DECLARE_LOGGING_CATEGORY(quillsetApp)

// Writes one plain line, exactly as given, to the program's log (standard error)
// under the category of the folder it comes from.
void qsLog(const QLoggingCategory &(*category)(), const QString &line);
