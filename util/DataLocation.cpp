#include "util/DataLocation.h"

#include "util/Exception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

const QString Name = QStringLiteral("kilovento");

QString Beside(const QFileInfo& executable, const QString& extension)
{
    return executable.absoluteDir().filePath(executable.completeBaseName() + extension);
}

// A file copied to `target` under a temporary name, flushed and renamed into
// place, so a failure leaves nothing half written; never over an existing file.
void CopyIfMissing(const QString& source, const QString& target)
{
    if (QFileInfo::exists(target))
        return;
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("impossibile leggere %1: %2").arg(source, in.errorString()));
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(in.readAll()) < 0 || !out.commit())
        throw Exception(QStringLiteral("impossibile creare %1: %2").arg(target, out.errorString()),
                        Exception::Why::Unwritable);
}

}

DataLocation DataLocation::For(const QString& executablePath, const QString& xdgDataHome, const QString& home)
{
    const QFileInfo executable(executablePath);
    const QDir folder = executable.absoluteDir();
    const QString templates = QDir::cleanPath(folder.filePath(QStringLiteral("../share/") + Name));
    const bool installed = folder.dirName() == u"bin" && QFileInfo::exists(templates + QStringLiteral("/kilovento.mdb"));
    if (!installed)
        return {Beside(executable, QStringLiteral(".ini")), Beside(executable, QStringLiteral(".mdb")), QString()};
    // As the XDG base directories have it: a relative XDG_DATA_HOME is ignored.
    const QString dataHome = QDir::isAbsolutePath(xdgDataHome) ? xdgDataHome
                                                               : QDir(home).filePath(QStringLiteral(".local/share"));
    const QDir data(QDir(dataHome).filePath(Name));
    return {data.filePath(Name + QStringLiteral(".ini")), data.filePath(Name + QStringLiteral(".mdb")), templates};
}

DataLocation DataLocation::ForThisProcess(const QString& executablePath)
{
    return For(executablePath, qEnvironmentVariable("XDG_DATA_HOME"), QDir::homePath());
}

void DataLocation::Prepare() const
{
    if (!Installed())
        return;
    const QString folder = QFileInfo(databasePath).absolutePath();
    if (!QDir().mkpath(folder))
        throw Exception(QStringLiteral("impossibile creare la cartella %1").arg(folder), Exception::Why::Unwritable);
    CopyIfMissing(templateFolder + QStringLiteral("/kilovento.ini"), settingsPath);
    CopyIfMissing(templateFolder + QStringLiteral("/kilovento.mdb"), databasePath);
}
