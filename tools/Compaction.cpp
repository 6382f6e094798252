#include "tools/Compaction.h"

#include "data/Sql.h"
#include "data/TZTConnection.h"
#include "data/TZTRecordset.h"
#include "tools/DurableFiles.h"
#include "util/Exception.h"
#include "util/Settings.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <future>

namespace {

using Compaction::Outcome;
using Compaction::Result;

// Removes a file of this run when the scope ends, unless it was kept, and
// always the files SQLite made beside it: they belong to no database later.
class TemporaryName
{
public:
    explicit TemporaryName(QString path, QStringList companions = {})
        : m_path(std::move(path)), m_companions(std::move(companions))
    {
    }
    ~TemporaryName()
    {
        if (!m_kept)
            QFile::remove(m_path);
        RemoveCompanions();
    }
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;
    const QString& path() const { return m_path; }
    void Keep() { m_kept = true; }
    // What an interrupted run left under these names.
    void RemoveLeftovers() const
    {
        QFile::remove(m_path);
        RemoveCompanions();
    }

private:
    void RemoveCompanions() const
    {
        for (const QString& companion : m_companions)
            QFile::remove(companion);
    }

    QString m_path;
    QStringList m_companions;
    bool m_kept = false;
};

// The files SQLite may make beside a database: a copy that fails part way
// leaves its journal, for one.
QStringList SqliteCompanions(const QString& path)
{
    return {path + QStringLiteral("-journal"), path + QStringLiteral("-wal"), path + QStringLiteral("-shm")};
}

// Through a symbolic link, the file it leads to: replacing the link with the
// compacted copy would part it from the rides saved through it.
QString RealFile(const QString& path)
{
    const QString real = QFileInfo(path).canonicalFilePath();
    return real.isEmpty() ? path : real; // a missing file fails to open under its own name
}

Result Refused(const QString& detail)
{
    return {Outcome::BackupRefused, Compaction::RenameRefusedText, detail};
}

Result Failed(const QString& detail)
{
    return {Outcome::EngineFailed, Compaction::EngineFailedText, detail};
}

QString ConnectionStringFor(const QString& connectionTemplate, const QString& path)
{
    return SettingsFile::ExpandConnectionString(connectionTemplate, path);
}

// What PRAGMA integrity_check, or the attempt to run it, finds wrong with
// the database; empty for a sound database.
QString IntegrityProblem(const QString& connectionString)
{
    QStringList problems;
    try {
        TZTConnection connection;
        // Read-only, the check of a large database takes about a third less time.
        connection.Open(connectionString, TZTConnection::Access::ReadOnly);
        TZTRecordset check(&connection);
        const RecordsetCloser closer(check);
        for (check.Open(Sql::IntegrityCheck()); !check.Eof(); check.MoveNext()) {
            const QString row = check.GetFieldAsString(QStringLiteral("integrity_check"));
            if (row != u"ok")
                problems.append(row);
        }
    } catch (const Exception& e) {
        return e.Message();
    }
    return problems.isEmpty() ? QString() : QStringLiteral("integrity check: ") + problems.join(QStringLiteral("; "));
}

bool InWalMode(TZTConnection& connection)
{
    TZTRecordset mode(&connection);
    const RecordsetCloser closer(mode);
    mode.Open(Sql::JournalMode());
    return !mode.Eof()
           && mode.GetFieldAsString(QStringLiteral("journal_mode")).compare(u"wal", Qt::CaseInsensitive) == 0;
}

void UseWriteAheadLog(const QString& connectionString)
{
    TZTConnection connection;
    connection.Open(connectionString);
    connection.Execute(Sql::UseWriteAheadLog());
    // Closing the only connection folds the new log into the file and removes it.
}

// Once armed, gives WAL mode back, when the scope ends, to the file that then
// holds the old database: the compaction took it out of that mode for the copy.
class WalRestorer
{
public:
    explicit WalRestorer(QString connectionTemplate) : m_template(std::move(connectionTemplate)) {}
    ~WalRestorer()
    {
        if (m_path.isEmpty())
            return;
        try {
            UseWriteAheadLog(ConnectionStringFor(m_template, m_path));
        } catch (const Exception&) {
            // Every ride is there in either mode; a later open may set it again.
        }
    }
    WalRestorer(const WalRestorer&) = delete;
    WalRestorer& operator=(const WalRestorer&) = delete;
    bool Armed() const { return !m_path.isEmpty(); }
    void Arm(const QString& path) { m_path = path; }

private:
    QString m_template;
    QString m_path;
};

void CloseInUse(TZTConnection* inUse)
{
    if (inUse)
        inUse->Close();
}

// Takes the database for `source` alone until it closes: no other process
// can read or write it, so nothing another one commits can miss the copy or
// land in the old file after the rename.
//
// A WAL log and index are found by the database's name, so after the rename
// they would be applied to the new file. The database therefore leaves WAL
// mode first, which needs every other connection closed, `inUse` too: it
// fails at once while another process has the file open.
bool HoldExclusively(TZTConnection& source, TZTConnection* inUse, WalRestorer& wal, const QString& path,
                     QString& error)
{
    try {
        if (InWalMode(source)) {
            CloseInUse(inUse);
            source.Execute(Sql::UseRollbackJournal());
            wal.Arm(path);
        }
        // The wait for other transactions (the busy timeout) happens with no
        // lock kept between tries, so that they can end; from then on the
        // locks stay. Nothing is written on this connection, so it never has
        // a journal of its own that it might remove by name later.
        source.Execute(Sql::BeginExclusiveTransaction());
        source.Execute(Sql::KeepLocksUntilClosed());
        source.Execute(Sql::CommitTransaction());
        if (InWalMode(source)) {
            error = QStringLiteral("another process put the database back in WAL mode");
            return false;
        }
    } catch (const Exception& e) {
        error = e.Message();
        return false;
    }
    CloseInUse(inUse);
    return true;
}

// Flushes the copy to disk while checking it: the check only reads it, and
// both must succeed before it takes the database's place. Empty when both did.
QString FlushAndCheck(const QString& connectionTemplate, const QString& path)
{
    std::future<QString> flushed = std::async(std::launch::async, [path] {
        QString flushError;
        return DurableFiles::SyncFile(path, flushError) ? QString() : flushError;
    });
    const QString problem = IntegrityProblem(ConnectionStringFor(connectionTemplate, path));
    const QString flushError = flushed.get();
    return problem.isEmpty() ? flushError : problem;
}

}

namespace Compaction {

QString BackupPath(const QString& dataSource)
{
    return SettingsFile::SiblingPath(dataSource, QStringLiteral(".mdbbak"));
}

Result CompactDatabase(const QString& connectionTemplate, const QString& dataSource, TZTConnection* inUse)
{
    const QString database = RealFile(dataSource);
    const QString folder = QFileInfo(database).absolutePath();
    const QString backup = BackupPath(database);
    // Names of this run's own files; an interrupted run may have left them.
    const QString compactedPath = database + QStringLiteral(".compacting");
    TemporaryName compacted(compactedPath, SqliteCompanions(compactedPath));
    TemporaryName newBackup(backup + QStringLiteral(".new"));
    compacted.RemoveLeftovers();
    newBackup.RemoveLeftovers();

    const QFileInfo oldBackup(backup);
    if (oldBackup.exists() && !oldBackup.isFile())
        return Refused(QStringLiteral("the backup path '%1' is not a file").arg(backup));

    // Declared before the source connection, so that it acts once that is closed.
    WalRestorer wal(connectionTemplate);
    TZTConnection source;
    if (inUse)
        source.SetBusyTimeout(inUse->BusyTimeout());
    try {
        // Opening reads the file, so a journal left by a crash is rolled back
        // now, before the file gets its second name.
        source.Open(ConnectionStringFor(connectionTemplate, database));
    } catch (const Exception& e) {
        // Locked by another process for longer than the wait: the file stays as it is.
        return source.LastFailureWasBusy() ? Refused(e.Message()) : Failed(e.Message());
    }
    QString error;
    if (!HoldExclusively(source, inUse, wal, database, error))
        return Refused(error);

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
    const QString problem = FlushAndCheck(connectionTemplate, compacted.path());
    if (!problem.isEmpty())
        return Failed(problem);
    if (wal.Armed()) {
        try {
            // A transaction of its own, flushed by SQLite.
            UseWriteAheadLog(ConnectionStringFor(connectionTemplate, compacted.path()));
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
        if (wal.Armed())
            wal.Arm(newBackup.path());
        DurableFiles::SyncFolder(folder, error);
        return Refused(QStringLiteral("the database was compacted, but the backup stays at '%1': %2")
                           .arg(newBackup.path(), error));
    }
    newBackup.Keep();
    if (wal.Armed())
        wal.Arm(backup);
    // Both renames are done and each was whole; flushing the folder only
    // makes them outlast a power cut, so a refusal here changes no outcome.
    DurableFiles::SyncFolder(folder, error);
    return {};
}

}
