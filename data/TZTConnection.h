#pragma once

#include "util/Exception.h"

#include <QString>
#include <QStringList>

#include <memory>

struct sqlite3;

// The program's one handle on the ride database, an SQLite file named by a
// connection string ("Provider=SQLite;Data Source=..."). Every failure is
// raised as the "ZTADO exception: " text built by RaiseADOException, led by
// the rider's words for it when SQLite's reason is one they can act on; the
// exception's reason tells a busy database (Why::Busy) and a sound file of
// another shape (Why::OtherShape) from the rest. Nothing of a failure stays
// on the connection.
class TZTConnection
{
public:
    TZTConnection();
    ~TZTConnection();
    TZTConnection(const TZTConnection&) = delete;
    TZTConnection& operator=(const TZTConnection&) = delete;

    enum class Access {
        ReadWrite,
        ReadOnly,
        // Read-only, of a file nothing changes while it is open: no lock is
        // taken, and no file beside it is made or read (no log, no journal).
        ReadOnlyUnchanging,
    };

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
    // What SQLite reported of a failure: its extended result code and the
    // system's error number behind it; both 0 for a failure not SQLite's.
    struct Cause
    {
        int code;
        int systemErrno;
    };

    // Raises the ZTADO exception of `operation` for the SQLite call that has
    // just failed on this connection, with SQLite's description and cause.
    [[noreturn]] void RaiseSqliteFailure(const QString& operation);
    // Whether a transaction is open: SQLite may end one by itself (after an
    // I/O error, say), so this asks SQLite rather than remembering BEGIN.
    bool InTransaction() const noexcept;
    // Ends the open transaction without storing it. Never raises, as Close:
    // a transaction it cannot end is rolled back when the connection closes.
    void RollBack() noexcept;

private:
    // The recordset prepares its statements on the handle; nothing outside
    // the data layer reaches SQLite through a connection.
    friend class TZTRecordset;
    sqlite3* Handle() const { return m_db; }
    // SQLite's description of the call that has just failed on this connection.
    QString LastSqliteError() const;

    [[noreturn]] void Fail(const QString& operation, const QStringList& descriptions, Cause cause = {},
                           Exception::Why why = Exception::Why::Failed);
    void CheckRideTables();

    sqlite3* m_db = nullptr;
    QString m_dataSource;
    int m_busyTimeoutMs = 10000;
};

// Throws Exception("ZTADO exception: " + operation + ": " + the failure's
// descriptions joined by "; "), leaving out ": " when there are none. When
// the cause is one the rider can act on (a full disk, a read-only or busy
// database, a file that cannot be opened or is not theirs to open), its
// Italian words and ". " come first. Another connection's lock outlasting
// the busy timeout is Why::Busy, unless `why` says more.
[[noreturn]] void RaiseADOException(const QString& operation, const QStringList& descriptions,
                                    TZTConnection::Cause cause = {}, Exception::Why why = Exception::Why::Failed);

// Those words for a cause; empty for any other.
QString RiderReason(TZTConnection::Cause cause);
