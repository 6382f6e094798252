#include "data/TZTConnection.h"

#include "data/ConnectionString.h"
#include "data/Sql.h"
#include "data/Statement.h"
#include "util/Exception.h"

#include <QFileInfo>

#include <sqlite3.h>

namespace {

const QString OpenOperation = QStringLiteral("TZTConnection::Open");
const QString ExecuteOperation = QStringLiteral("TZTConnection::Execute");
const QString BackupOperation = QStringLiteral("TZTConnection::BackupTo");

QString FileDescription(const QString& path)
{
    return QStringLiteral("Database: '%1'").arg(path);
}

}

void RaiseADOException(const QString& operation, const TZTConnection& connection)
{
    QString message = QStringLiteral("ZTADO exception: ") + operation;
    const QStringList& errors = connection.Errors();
    if (!errors.isEmpty())
        message += QStringLiteral(": ") + errors.join(QStringLiteral("; "));
    throw Exception(message);
}

TZTConnection::TZTConnection()
{
    if (sqlite3_initialize() != SQLITE_OK)
        throw Exception(QStringLiteral("Create(intfObj): the SQLite library could not be initialised"));
}

TZTConnection::~TZTConnection()
{
    Close();
}

void TZTConnection::SetBusyTimeout(int milliseconds)
{
    m_busyTimeoutMs = milliseconds;
    if (m_db)
        sqlite3_busy_timeout(m_db, milliseconds);
}

QString TZTConnection::LastSqliteError() const
{
    return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("The connection is closed");
}

bool TZTConnection::InTransaction() const noexcept
{
    return m_db && !sqlite3_get_autocommit(m_db);
}

void TZTConnection::Fail(const QString& operation, const QStringList& descriptions)
{
    m_errors = descriptions;
    m_lastFailureBusy = m_db && (sqlite3_errcode(m_db) & 0xff) == SQLITE_BUSY;
    RaiseADOException(operation, *this);
}

void TZTConnection::Open(const QString& connectionString, Access access)
{
    if (m_db)
        Fail(OpenOperation, {QStringLiteral("Operation is not allowed when the object is open")});

    ConnectionString parsed;
    QString error;
    if (!ConnectionString::Parse(connectionString, parsed, error))
        Fail(OpenOperation, {error});

    // A directory or a missing path must not reach SQLite, which would make a
    // journal beside it or report a vaguer error.
    const QFileInfo file(parsed.dataSource);
    if (!file.exists())
        Fail(OpenOperation, {QStringLiteral("Database file not found"), FileDescription(parsed.dataSource)});
    if (!file.isFile())
        Fail(OpenOperation, {QStringLiteral("Not a database file"), FileDescription(parsed.dataSource)});

    sqlite3* db = nullptr;
    const int mode = access == Access::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    const int rc = sqlite3_open_v2(parsed.dataSource.toUtf8().constData(), &db, mode | SQLITE_OPEN_NOMUTEX, nullptr);
    m_db = db; // set even on failure, so Close releases the handle
    if (rc != SQLITE_OK) {
        const QString description = LastSqliteError();
        Close();
        Fail(OpenOperation, {description, FileDescription(parsed.dataSource)});
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, m_busyTimeoutMs);
    m_dataSource = parsed.dataSource;
    try {
        // SQLite reads the file only now: a file that is not a database, or a
        // database locked by another process, fails here rather than later.
        if (sqlite3_exec(m_db, Sql::EnableForeignKeys, nullptr, nullptr, nullptr) != SQLITE_OK)
            Fail(OpenOperation, {LastSqliteError(), FileDescription(m_dataSource)});
        CheckRideTables();
    } catch (...) {
        Close();
        throw;
    }
    m_errors.clear();
}

void TZTConnection::CheckRideTables()
{
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(m_db, Sql::RideTablesPresent, -1, &raw, nullptr) != SQLITE_OK)
        Fail(OpenOperation, {LastSqliteError(), FileDescription(m_dataSource)});
    const Statement stmt(raw);
    const int rc = sqlite3_step(stmt.get());
    const int tables = rc == SQLITE_ROW ? sqlite3_column_int(stmt.get(), 0) : -1;
    if (rc != SQLITE_ROW)
        Fail(OpenOperation, {LastSqliteError(), FileDescription(m_dataSource)});
    if (tables != 2)
        Fail(OpenOperation, {QStringLiteral("Not a ride database: the tables Uscite and TipiUscita are missing"),
                             FileDescription(m_dataSource)});
}

void TZTConnection::Execute(const QString& sql)
{
    if (!m_db)
        Fail(ExecuteOperation, {QStringLiteral("Operation is not allowed when the object is closed")});
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &raw, &tail) != SQLITE_OK)
        Fail(ExecuteOperation, {LastSqliteError()});
    const Statement stmt(raw);
    if (tail && !QByteArray(tail).trimmed().isEmpty())
        Fail(ExecuteOperation, {QStringLiteral("Only one statement can be executed at a time")});
    int rc = SQLITE_ROW;
    while (stmt && rc == SQLITE_ROW)
        rc = sqlite3_step(stmt.get());
    if (stmt && rc != SQLITE_DONE)
        Fail(ExecuteOperation, {LastSqliteError()});
    m_errors.clear();
}

void TZTConnection::BackupTo(const QString& path)
{
    if (!m_db)
        Fail(BackupOperation, {QStringLiteral("Operation is not allowed when the object is closed")});
    sqlite3* raw = nullptr;
    const int opened = sqlite3_open_v2(path.toUtf8().constData(), &raw,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> copy(raw, sqlite3_close_v2);
    const auto failure = [&] { return QStringList{QString::fromUtf8(sqlite3_errmsg(copy.get())), FileDescription(path)}; };
    if (opened != SQLITE_OK)
        Fail(BackupOperation, failure());
    sqlite3_extended_result_codes(copy.get(), 1);
    if (sqlite3_exec(copy.get(), Sql::UnflushedWrites().toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        Fail(BackupOperation, failure());
    sqlite3_backup* backup = sqlite3_backup_init(copy.get(), "main", m_db, "main");
    if (!backup)
        Fail(BackupOperation, failure());
    const int stepped = sqlite3_backup_step(backup, -1);
    // Finishing reports the step's error on the copy's handle.
    if (sqlite3_backup_finish(backup) != SQLITE_OK || stepped != SQLITE_DONE)
        Fail(BackupOperation, failure());
    m_errors.clear();
}

void TZTConnection::Close() noexcept
{
    if (!m_db)
        return;
    // close_v2 defers the release until recordsets still holding statements finish.
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}
