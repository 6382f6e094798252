#include "tools/Compaction.h"

#include "data/Sql.h"
#include "data/TZTConnection.h"
#include "tools/CheckedCopy.h"
#include "tools/DurableFiles.h"
#include "tools/ExclusiveHold.h"
#include "tools/TemporaryName.h"
#include "util/Exception.h"
#include "util/Settings.h"

#include <QFileInfo>

namespace {

using Compaction::Outcome;
using Compaction::Result;

Result Refused(const QString& detail)
{
    return {Outcome::BackupRefused, Compaction::RenameRefusedText, detail};
}

Result Failed(const QString& detail)
{
    return {Outcome::EngineFailed, Compaction::EngineFailedText, detail};
}

}

namespace Compaction {

QString BackupPath(const QString& dataSource)
{
    return SettingsFile::SiblingPath(dataSource, QStringLiteral(".mdbbak"));
}

Result CompactDatabase(const QString& connectionTemplate, const QString& dataSource, TZTConnection* inUse)
{
    const QString database = CheckedCopy::RealFile(dataSource);
    const QString folder = QFileInfo(database).absolutePath();
    const QString backup = BackupPath(database);
    // Names of this run's own files; an interrupted run may have left them.
    const QString compactedPath = database + QStringLiteral(".compacting");
    TemporaryName compacted(compactedPath, TemporaryName::SqliteCompanions(compactedPath));
    TemporaryName newBackup(backup + QStringLiteral(".new"));
    compacted.RemoveLeftovers();
    newBackup.RemoveLeftovers();

    const QFileInfo oldBackup(backup);
    if (oldBackup.exists() && !oldBackup.isFile())
        return Refused(QStringLiteral("the backup path '%1' is not a file").arg(backup));

    ExclusiveHold hold(connectionTemplate, database);
    QString error;
    switch (hold.Take(inUse, error)) {
    case ExclusiveHold::Refusal::None:
        break;
    case ExclusiveHold::Refusal::Locked:
        return Refused(error);
    case ExclusiveHold::Refusal::Unreadable:
        return Failed(error);
    }
    TZTConnection& source = hold.Connection();

    // The backup is the database file itself under a second name: nothing is
    // copied, and it becomes the only name of the old file at the end.
    if (!DurableFiles::LinkOrCopy(database, newBackup.path(), error))
        return Refused(error);

    try {
        source.Execute(Sql::UnflushedWrites());
        source.Execute(Sql::VacuumInto(compacted.path()));
    } catch (const Exception& e) {
        return Failed(e.Message());
    }
    // The copy takes the old file's place, so it gets the old file's access:
    // a private ride log stays private, a shared one stays writable for the others.
    if (!DurableFiles::CopyAccess(database, compacted.path(), error))
        return Failed(error);
    const QString problem = CheckedCopy::FlushAndCheck(connectionTemplate, compacted.path());
    if (!problem.isEmpty())
        return Failed(problem);
    if (hold.LeftWalMode()) {
        try {
            CheckedCopy::UseWriteAheadLog(SettingsFile::ExpandConnectionString(connectionTemplate, compacted.path()));
        } catch (const Exception& e) {
            return Failed(e.Message());
        }
    }

    if (!DurableFiles::Replace(compacted.path(), database, error))
        return Refused(error);
    compacted.Keep(); // it is the database now
    if (!DurableFiles::Replace(newBackup.path(), backup, error)) {
        // The database is compacted; the old one stays under the new name.
        newBackup.Keep();
        hold.ReturnWalModeTo(newBackup.path());
        DurableFiles::SyncFolder(folder, error);
        return Refused(QStringLiteral("the database was compacted, but the backup stays at '%1': %2")
                           .arg(newBackup.path(), error));
    }
    newBackup.Keep();
    hold.ReturnWalModeTo(backup);
    // Both renames are done and each was whole; flushing the folder only
    // makes them outlast a power cut, so a refusal here changes no outcome.
    DurableFiles::SyncFolder(folder, error);
    return {};
}

}
