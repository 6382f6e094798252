#include "tools/CheckedCopy.h"

#include "data/Sql.h"
#include "data/TZTConnection.h"
#include "data/TZTRecordset.h"
#include "tools/DurableFiles.h"
#include "util/Exception.h"
#include "util/Settings.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <future>

namespace {

void SetJournalMode(const QString& connectionString, const QString& sql)
{
    TZTConnection connection;
    connection.Open(connectionString);
    connection.Execute(sql);
}

}

namespace CheckedCopy {

QString RealFile(const QString& path)
{
    const QString real = QFileInfo(path).canonicalFilePath();
    return real.isEmpty() ? path : real; // a missing file fails to open under its own name
}

void CheckIntegrity(TZTConnection& connection)
{
    QStringList problems;
    TZTRecordset check(&connection);
    const RecordsetCloser closer(check);
    for (check.Open(Sql::IntegrityCheck()); !check.Eof(); check.MoveNext()) {
        const QString row = check.GetFieldAsString(QStringLiteral("integrity_check"));
        if (row != u"ok")
            problems.append(row);
    }
    if (!problems.isEmpty())
        throw Exception(QStringLiteral("integrity check: ") + problems.join(QStringLiteral("; ")));
}

void CheckIntegrity(const QString& connectionString)
{
    TZTConnection connection;
    // Read-only, the check of a large database takes about a third less time.
    connection.Open(connectionString, TZTConnection::Access::ReadOnly);
    CheckIntegrity(connection);
}

void FlushAndCheck(const QString& connectionTemplate, const QString& path)
{
    // Should the check throw, the future's end still waits for the flush.
    std::future<void> flushed = std::async(std::launch::async, [path] { DurableFiles::SyncFile(path); });
    CheckIntegrity(SettingsFile::ExpandConnectionString(connectionTemplate, path));
    flushed.get();
}

FileAsItLies::FileAsItLies() = default;

FileAsItLies::~FileAsItLies()
{
    m_connection.Close();
}

void FileAsItLies::Open(const QString& connectionTemplate, const QString& path)
{
    QStringList companions;
    for (const QString& suffix : {QStringLiteral("-wal"), QStringLiteral("-journal")})
        if (QFileInfo(path + suffix).size() > 0)
            companions.append(suffix);
    if (companions.isEmpty()) {
        m_connection.Open(SettingsFile::ExpandConnectionString(connectionTemplate, path),
                          TZTConnection::Access::ReadOnlyUnchanging);
        return;
    }
    m_copy = std::make_unique<QTemporaryDir>();
    const QString copy = m_copy->filePath(QFileInfo(path).fileName());
    for (const QString& suffix : companions << QString()) {
        QFile file(path + suffix);
        if (!m_copy->isValid() || !file.copy(copy + suffix))
            throw Exception(QStringLiteral("cannot copy '%1' to read it with its %2: %3")
                                .arg(path, companions.first().mid(1), m_copy->isValid() ? file.errorString()
                                                                                        : m_copy->errorString()));
    }
    // Read-write, as a journal left by an interrupted write is rolled back only by writing.
    m_connection.Open(SettingsFile::ExpandConnectionString(connectionTemplate, copy));
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
    SetJournalMode(connectionString, Sql::UseWriteAheadLog());
}

void UseRollbackJournal(const QString& connectionString)
{
    SetJournalMode(connectionString, Sql::UseRollbackJournal());
}

}
