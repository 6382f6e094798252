#include "data/TZTConnection.h"

#include "data/ConnectionString.h"
#include "data/Rides.h"
#include "data/Sql.h"
#include "data/Statement.h"
#include "util/Exception.h"
#include "util/SystemErrors.h"

#include <cerrno>

#include <QFileInfo>
#include <QSet>
#include <QUrl>

#include <sqlite3.h>

namespace {

const QString OpenOperation = QStringLiteral("TZTConnection::Open");
const QString ExecuteOperation = QStringLiteral("TZTConnection::Execute");
const QString BackupOperation = QStringLiteral("TZTConnection::BackupTo");

QString FileDescription(const QString& path)
{
    return QStringLiteral("Database: '%1'").arg(path);
}

TZTConnection::Cause CauseOf(sqlite3* handle)
{
    return {sqlite3_extended_errcode(handle), sqlite3_system_errno(handle)};
}

}

QString RiderReason(TZTConnection::Cause cause)
{
    const int primary = cause.code & 0xff;
    // The system's error number is this failure's only when SQLite failed at
    // the file itself; otherwise it may be an earlier one's.
    if (primary == SQLITE_IOERR || primary == SQLITE_CANTOPEN) {
        if (QString words = SystemErrorWords(cause.systemErrno); !words.isEmpty())
            return words;
    }
    // The system's own causes are worded as the system's errors are.
    switch (primary) {
    case SQLITE_FULL:
        return SystemErrorWords(ENOSPC);
    case SQLITE_PERM:
        return SystemErrorWords(EACCES);
    case SQLITE_READONLY:
        return QStringLiteral("database in sola lettura");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("database in uso da un altro programma");
    case SQLITE_CANTOPEN:
        return QStringLiteral("impossibile aprire il file");
    default:
        return {};
    }
}

void RaiseADOException(const QString& operation, const QStringList& descriptions, TZTConnection::Cause cause,
                       Exception::Why why)
{
    QString message = QStringLiteral("ZTADO exception: ") + operation;
    if (!descriptions.isEmpty())
        message += QStringLiteral(": ") + descriptions.join(QStringLiteral("; "));
    if (const QString reason = RiderReason(cause); !reason.isEmpty())
        message = reason + QStringLiteral(". ") + message;
    if (why == Exception::Why::Failed && (cause.code & 0xff) == SQLITE_BUSY)
        why = Exception::Why::Busy;
    throw Exception(message, why);
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

void TZTConnection::RollBack() noexcept
{
    if (InTransaction())
        sqlite3_exec(m_db, Sql::RollbackTransaction().toUtf8().constData(), nullptr, nullptr, nullptr);
}

void TZTConnection::Fail(const QString& operation, const QStringList& descriptions, Cause cause, Exception::Why why)
{
    RaiseADOException(operation, descriptions, cause, why);
}

void TZTConnection::RaiseSqliteFailure(const QString& operation)
{
    RaiseADOException(operation, {LastSqliteError()}, m_db ? CauseOf(m_db) : Cause{});
}

void TZTConnection::Open(const QString& connectionString, Access access)
{
    if (m_db)
        Fail(OpenOperation, {QStringLiteral("Operation is not allowed when the object is open")});

    ConnectionString parsed;
    try {
        parsed = ConnectionString::Parse(connectionString);
    } catch (const Exception& e) {
        // Told as the open's failure, as every other reason it fails.
        Fail(OpenOperation, {e.Message()});
    }

    // A directory or a missing path must not reach SQLite, which would make a
    // journal beside it or report a vaguer error.
    const QFileInfo file(parsed.dataSource);
    if (!file.exists())
        Fail(OpenOperation, {QStringLiteral("Database file not found"), FileDescription(parsed.dataSource)});
    if (!file.isFile())
        Fail(OpenOperation, {QStringLiteral("Not a database file"), FileDescription(parsed.dataSource)});

    sqlite3* db = nullptr;
    int mode = access == Access::ReadWrite ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
    QByteArray name = parsed.dataSource.toUtf8();
    if (access == Access::ReadOnlyUnchanging) {
        // SQLite's "immutable" file parameter; the URL escapes what the path holds of "?", "#" and "%".
        name = QUrl::fromLocalFile(file.absoluteFilePath()).toEncoded() + "?immutable=1";
        mode |= SQLITE_OPEN_URI;
    }
    const int rc = sqlite3_open_v2(name.constData(), &db, mode | SQLITE_OPEN_NOMUTEX, nullptr);
    m_db = db; // set even on failure, so Close releases the handle
    if (rc != SQLITE_OK) {
        const QString description = LastSqliteError();
        const Cause cause = CauseOf(m_db);
        Close();
        Fail(OpenOperation, {description, FileDescription(parsed.dataSource)}, cause);
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, m_busyTimeoutMs);
    m_dataSource = parsed.dataSource;
    try {
        // SQLite reads the file only now: a file that is not a database, or a
        // database locked by another process, fails here rather than later.
        if (sqlite3_exec(m_db, Sql::EnableForeignKeys, nullptr, nullptr, nullptr) != SQLITE_OK)
            Fail(OpenOperation, {LastSqliteError(), FileDescription(m_dataSource)}, CauseOf(m_db));
        CheckRideTables();
    } catch (...) {
        Close();
        throw;
    }
}

void TZTConnection::CheckRideTables()
{
    // Every column the program reads or writes: a file without one of them
    // would open, show its rides and then fail the first ride stored in it.
    const std::pair<QString, QStringList> needed[] = {
        {QStringLiteral("Uscite"),
         {RideColumn::IDUscita, RideColumn::IDTipoUscita, RideColumn::Data, RideColumn::KM, RideColumn::Durata,
          RideColumn::Descrizione, RideColumn::Note}},
        {QStringLiteral("TipiUscita"), {RideTypeColumn::IDTipoUscita, RideTypeColumn::Descrizione}},
    };
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(m_db, Sql::RideTableColumns, -1, &raw, nullptr) != SQLITE_OK)
        Fail(OpenOperation, {LastSqliteError(), FileDescription(m_dataSource)}, CauseOf(m_db));
    const Statement stmt(raw);
    QSet<QString> found; // "table.column", in lower case as SQLite matches names
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW)
        found.insert(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0))).toLower());
    if (rc != SQLITE_DONE)
        Fail(OpenOperation, {LastSqliteError(), FileDescription(m_dataSource)}, CauseOf(m_db));
    QStringList missing;
    for (const auto& [table, columns] : needed) {
        QStringList absent;
        for (const QString& column : columns)
            if (!found.contains((table + u'.' + column).toLower()))
                absent.append(column);
        if (absent.size() == columns.size())
            missing.append(QStringLiteral("the table %1 is missing").arg(table));
        else if (!absent.isEmpty())
            missing.append(QStringLiteral("%1 has no column %2").arg(table, absent.join(QStringLiteral(", "))));
    }
    if (!missing.isEmpty())
        Fail(OpenOperation,
             {QStringLiteral("Not a ride database: ") + missing.join(QStringLiteral("; ")), FileDescription(m_dataSource)},
             {}, Exception::Why::OtherShape);
}

void TZTConnection::Execute(const QString& sql)
{
    if (!m_db)
        Fail(ExecuteOperation, {QStringLiteral("Operation is not allowed when the object is closed")});
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &raw, &tail) != SQLITE_OK)
        Fail(ExecuteOperation, {LastSqliteError()}, CauseOf(m_db));
    const Statement stmt(raw);
    if (tail && !QByteArray(tail).trimmed().isEmpty())
        Fail(ExecuteOperation, {QStringLiteral("Only one statement can be executed at a time")});
    int rc = SQLITE_ROW;
    while (stmt && rc == SQLITE_ROW)
        rc = sqlite3_step(stmt.get());
    if (stmt && rc != SQLITE_DONE)
        Fail(ExecuteOperation, {LastSqliteError()}, CauseOf(m_db));
}

void TZTConnection::BackupTo(const QString& path)
{
    if (!m_db)
        Fail(BackupOperation, {QStringLiteral("Operation is not allowed when the object is closed")});
    sqlite3* raw = nullptr;
    const int opened = sqlite3_open_v2(path.toUtf8().constData(), &raw,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> copy(raw, sqlite3_close_v2);
    // The copy's handle holds the failure, also of a step of the backup.
    const auto fail = [&] {
        Fail(BackupOperation, {QString::fromUtf8(sqlite3_errmsg(copy.get())), FileDescription(path)},
             CauseOf(copy.get()));
    };
    sqlite3_extended_result_codes(copy.get(), 1);
    if (opened != SQLITE_OK)
        fail();
    if (sqlite3_exec(copy.get(), Sql::UnflushedWrites().toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        fail();
    sqlite3_backup* backup = sqlite3_backup_init(copy.get(), "main", m_db, "main");
    if (!backup)
        fail();
    const int stepped = sqlite3_backup_step(backup, -1);
    if (sqlite3_backup_finish(backup) != SQLITE_OK || stepped != SQLITE_DONE)
        fail();
}

void TZTConnection::Close() noexcept
{
    if (!m_db)
        return;
    // close_v2 defers the release until recordsets still holding statements finish.
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}
