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

// Removes a file of this run when the scope ends, unless it was kept.
class TemporaryName
{
public:
    explicit TemporaryName(QString path) : m_path(std::move(path)) {}
    ~TemporaryName()
    {
        if (!m_kept)
            QFile::remove(m_path);
    }
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;
    const QString& path() const { return m_path; }
    void Keep() { m_kept = true; }

private:
    QString m_path;
    bool m_kept = false;
};

Result Refused(const QString& detail)
{
    return {Outcome::BackupRefused, Compaction::RenameRefusedText, detail};
}

Result Failed(const QString& detail)
{
    return {Outcome::EngineFailed, Compaction::EngineFailedText, detail};
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

}

namespace Compaction {

QString BackupPath(const QString& dataSource)
{
    return SettingsFile::SiblingPath(dataSource, QStringLiteral(".mdbbak"));
}

Result CompactDatabase(const QString& connectionTemplate, const QString& dataSource)
{
    const QString folder = QFileInfo(dataSource).absolutePath();
    const QString backup = BackupPath(dataSource);
    // Names of this run's own files; an interrupted run may have left them.
    TemporaryName compacted(dataSource + QStringLiteral(".compacting"));
    TemporaryName newBackup(backup + QStringLiteral(".new"));
    for (const QString& leftover : {compacted.path(), compacted.path() + QStringLiteral("-journal"), newBackup.path()})
        QFile::remove(leftover);

    const QFileInfo oldBackup(backup);
    if (oldBackup.exists() && !oldBackup.isFile())
        return Refused(QStringLiteral("the backup path '%1' is not a file").arg(backup));

    TZTConnection source;
    try {
        // Opening reads the file, so a journal left by a crash is rolled back
        // now, before the file gets its second name.
        source.Open(SettingsFile::ExpandConnectionString(connectionTemplate, dataSource));
    } catch (const Exception& e) {
        return Failed(e.Message());
    }

    // The backup is the database file itself under a second name: nothing is
    // copied, and it becomes the only name of the old file at the end.
    QString error;
    if (!DurableFiles::LinkOrCopy(dataSource, newBackup.path(), error))
        return Refused(error);

    try {
        source.Execute(Sql::UnflushedWrites());
        source.Execute(Sql::VacuumInto(compacted.path()));
    } catch (const Exception& e) {
        return Failed(e.Message());
    }
    source.Close();

    // The copy is flushed to disk while it is checked: the check only reads
    // it, and both must succeed before it takes the database's place.
    std::future<QString> flushed = std::async(std::launch::async, [path = compacted.path()] {
        QString flushError;
        return DurableFiles::SyncFile(path, flushError) ? QString() : flushError;
    });
    const QString problem =
        IntegrityProblem(SettingsFile::ExpandConnectionString(connectionTemplate, compacted.path()));
    const QString flushError = flushed.get();
    if (!problem.isEmpty())
        return Failed(problem);
    if (!flushError.isEmpty())
        return Failed(flushError);

    if (!DurableFiles::Replace(compacted.path(), dataSource, error))
        return Refused(error);
    compacted.Keep(); // it is the database now
    if (!DurableFiles::Replace(newBackup.path(), backup, error)) {
        // The database is compacted; the old one stays under the new name.
        newBackup.Keep();
        DurableFiles::SyncFolder(folder, error);
        return Refused(QStringLiteral("the database was compacted, but the backup stays at '%1': %2")
                           .arg(newBackup.path(), error));
    }
    newBackup.Keep();
    // Both renames are done and each was whole; flushing the folder only
    // makes them outlast a power cut, so a refusal here changes no outcome.
    DurableFiles::SyncFolder(folder, error);
    return {};
}

}
