#include "core/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace programfolder {

namespace {
QString withoutTrailingSeparator(QString p)
{
    while (p.size() > 1 && (p.endsWith('/') || p.endsWith('\\')))
        p.chop(1);
    return p;
}
} // namespace

QString path()
{
    const QString home = qEnvironmentVariable("DOVRA_HOME");
    if (!home.isEmpty())
        return withoutTrailingSeparator(QDir::cleanPath(QDir(home).absolutePath()));
    return withoutTrailingSeparator(QCoreApplication::applicationDirPath());
}

QString sideFile(const QString& name)
{
    const QString inFolder = path() + "/" + name;
    if (QFileInfo::exists(inFolder))
        return inFolder;
    const QString besideProgram = QCoreApplication::applicationDirPath() + "/" + name;
    if (QFileInfo::exists(besideProgram))
        return besideProgram;
    return inFolder;
}

QString sideFolder(const QString& name)
{
    return QFileInfo(sideFile(name)).absolutePath();
}

} // namespace programfolder
