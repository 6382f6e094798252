#pragma once

#include <QString>
#include <QStringList>

#include <memory>

struct sqlite3;

// The program's one handle on the ride database, an SQLite file named by a
// connection string ("Provider=SQLite;Data Source=..."). Every failure is
// raised as the "ZTADO exception: " text built by RaiseADOException.
class TZTConnection
{
public:
    TZTConnection();
    ~TZTConnection();
    TZTConnection(const TZTConnection&) = delete;
    TZTConnection& operator=(const TZTConnection&) = delete;

    enum class Access { ReadWrite, ReadOnly };

    // Opens an existing ride database; never creates a file. A read-only
    // connection reads faster, and any statement that writes fails.
    void Open(const QString& connectionString, Access access = Access::ReadWrite);
    // Runs one statement; any rows it returns are discarded.
    void Execute(const QString& sql);
    // Never raises; closing a closed connection does nothing.
    void Close() noexcept;
    // Copies the whole database, page by page, into a new file at `path`
    // through SQLite's online backup, in one step. The copy is not flushed to
    // disk: its writer flushes it when it chooses.
    void BackupTo(const QString& path);

    bool IsOpen() const { return m_db != nullptr; }
    QString DataSource() const { return m_dataSource; }

    // How long a statement waits for another process's lock (default 10 s).
    void SetBusyTimeout(int milliseconds);
    int BusyTimeout() const { return m_busyTimeoutMs; }
    // Whether the last failure was another connection's lock outlasting the
    // busy timeout, rather than a fault of the database or the statement.
    bool LastFailureWasBusy() const { return m_lastFailureBusy; }

    // The descriptions of the last failure, oldest first.
    const QStringList& Errors() const { return m_errors; }
    void SetErrors(const QStringList& descriptions) { m_errors = descriptions; }
    // SQLite's description of the last failure on this connection.
    QString LastSqliteError() const;
    // Whether a transaction is open: SQLite may end one by itself (after an
    // I/O error, say), so this asks SQLite rather than remembering BEGIN.
    bool InTransaction() const noexcept;

private:
    // The recordset prepares its statements on the handle; nothing outside
    // the data layer reaches SQLite through a connection.
    friend class TZTRecordset;
    sqlite3* Handle() const { return m_db; }

    [[noreturn]] void Fail(const QString& operation, const QStringList& descriptions);
    void CheckRideTables();

    sqlite3* m_db = nullptr;
    QString m_dataSource;
    QStringList m_errors;
    int m_busyTimeoutMs = 10000;
    bool m_lastFailureBusy = false;
};

// Throws Exception("ZTADO exception: " + operation + ": " + the connection's
// descriptions joined by "; "), leaving out ": " when there are none.
[[noreturn]] void RaiseADOException(const QString& operation, const TZTConnection& connection);
