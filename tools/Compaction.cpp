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

// Runs one step of the compaction; its failure is told in the compaction's
// words, with its own as the detail.
template <class Step>
void Telling(const QString& message, Step step)
{
    try {
        step();
    } catch (const Exception& e) {
        throw Exception(message, e.Reason(), e.Message());
    }
}

}

namespace Compaction {

QString BackupPath(const QString& dataSource)
{
    return SettingsFile::SiblingPath(dataSource, QStringLiteral(".mdbbak"));
}

void CompactDatabase(const QString& connectionTemplate, const QString& dataSource, TZTConnection* inUse)
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
        throw Exception(RenameRefusedText, Exception::Why::Failed,
                        QStringLiteral("the backup path '%1' is not a file").arg(backup));

    ExclusiveHold hold(connectionTemplate, database);
    try {
        hold.Take(inUse);
    } catch (const Exception& e) {
        // Could not be had alone: refused; else the file did not open as a ride database.
        throw Exception(e.Reason() == Exception::Why::Refused ? RenameRefusedText : EngineFailedText, e.Reason(),
                        e.Message());
    }
    TZTConnection& source = hold.Connection();

    // The backup is the database file itself under a second name: nothing is
    // copied, and it becomes the only name of the old file at the end.
    Telling(RenameRefusedText, [&] { DurableFiles::LinkOrCopy(database, newBackup.path()); });

    Telling(EngineFailedText, [&] {
        source.Execute(Sql::UnflushedWrites());
        source.Execute(Sql::VacuumInto(compacted.path()));
        // The copy takes the old file's place, so it gets the old file's access:
        // a private ride log stays private, a shared one stays writable for the others.
        DurableFiles::CopyAccess(database, compacted.path());
        CheckedCopy::FlushAndCheck(connectionTemplate, compacted.path());
        if (hold.LeftWalMode())
            CheckedCopy::UseWriteAheadLog(SettingsFile::ExpandConnectionString(connectionTemplate, compacted.path()));
    });

    Telling(RenameRefusedText, [&] { DurableFiles::Replace(compacted.path(), database); });
    compacted.Keep(); // it is the database now
    try {
        DurableFiles::Replace(newBackup.path(), backup);
    } catch (const Exception& e) {
        // The database is compacted; the old one stays under the new name.
        newBackup.Keep();
        hold.ReturnWalModeTo(newBackup.path());
        DurableFiles::SyncFolder(folder);
        throw Exception(RenameRefusedText, Exception::Why::Failed,
                        QStringLiteral("the database was compacted, but the backup stays at '%1': %2")
                            .arg(newBackup.path(), e.Message()));
    }
    newBackup.Keep();
    hold.ReturnWalModeTo(backup);
    // Both renames are done and each was whole; flushing the folder only
    // makes them outlast a power cut, so a refusal there changes no outcome.
    DurableFiles::SyncFolder(folder);
}

}
