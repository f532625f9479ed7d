#include "app/DocumentRoot.h"

#include "model/MagicComments.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QUrl>

namespace {

// Longer chains of roots are taken for a circle.
constexpr int longestChain = 16;

QString tr(const char *text)
{
    return QCoreApplication::translate("DocumentRoot", text);
}

// The file a root value names from a folder: as written, else with ".tex", as TeX
// looks for it.
QString namedPath(const QString &folder, const QString &value)
{
    const QString path = QDir::cleanPath(QDir(folder).absoluteFilePath(value));
    if (!QFileInfo(path).isFile() && QFileInfo(path + QStringLiteral(".tex")).isFile())
        return path + QStringLiteral(".tex");
    return path;
}

} // namespace

DocumentRoot::~DocumentRoot()
{
    release();
}

void DocumentRoot::release()
{
    if (const std::shared_ptr<QSFile> named = std::exchange(_named, nullptr))
        QSFilePool::sharedFilePool()->closeFile(named->path());
}

std::shared_ptr<QSFile> DocumentRoot::update(const std::shared_ptr<QSFile> &opened)
{
    _problem.clear();
    if (!opened || opened->isUntitled()) {
        release();
        return opened;
    }
    const QString start = QFileInfo(opened->pathText()).canonicalFilePath();
    QString current = start;
    QSet<QString> visited{start};
    for (int hops = 0;; ++hops) {
        const QString value = MagicComments::readFile(current).root;
        if (value.isEmpty())
            break;
        const QString next = namedPath(QFileInfo(current).absolutePath(), value);
        if (!QFileInfo(next).isFile()) {
            _problem = tr("The magic comment \"root = %1\" in %2 names no file")
                           .arg(value, QFileInfo(current).fileName());
            break;
        }
        const QString canonical = QFileInfo(next).canonicalFilePath();
        if (visited.contains(canonical) || hops >= longestChain) {
            _problem = tr("The magic comments \"root = …\" lead round in a circle through %1")
                           .arg(QFileInfo(current).fileName());
            break;
        }
        visited.insert(canonical);
        current = canonical;
    }
    if (!_problem.isEmpty() || current == start) {
        release();
        return opened;
    }
    if (_named && QFileInfo(_named->pathText()).canonicalFilePath() == current)
        return _named;
    release();
    _named = QSFilePool::sharedFilePool()->readFile(QUrl::fromLocalFile(current));
    if (!_named) {
        _problem = tr("The root %1 that the magic comment names cannot be read")
                       .arg(QDir::toNativeSeparators(current));
        return opened;
    }
    return _named;
}
