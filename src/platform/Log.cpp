#include "platform/Log.h"

#include <QDebug>
#include <QString>

void qsLog(const QString &line)
{
    qWarning().noquote() << line;
}
