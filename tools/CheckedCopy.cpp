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

QString IntegrityProblem(TZTConnection& connection)
{
    QStringList problems;
    try {
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

QString IntegrityProblem(const QString& connectionString)
{
    TZTConnection connection;
    try {
        // Read-only, the check of a large database takes about a third less time.
        connection.Open(connectionString, TZTConnection::Access::ReadOnly);
    } catch (const Exception& e) {
        return e.Message();
    }
    return IntegrityProblem(connection);
}

QString FlushAndCheck(const QString& connectionTemplate, const QString& path)
{
    std::future<QString> flushed = std::async(std::launch::async, [path] {
        QString flushError;
        return DurableFiles::SyncFile(path, flushError) ? QString() : flushError;
    });
    const QString problem = IntegrityProblem(SettingsFile::ExpandConnectionString(connectionTemplate, path));
    const QString flushError = flushed.get();
    return problem.isEmpty() ? flushError : problem;
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
