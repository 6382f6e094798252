#pragma once

#include "data/FieldValue.h"
#include "data/Statement.h"
#include "util/TDateTime.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class TZTConnection;
struct sqlite3;

// A forward cursor over one query on a TZTConnection, with fields addressed by
// column name. Rows are streamed from SQLite one at a time. AddNew/SetField/
// Update append or change a row of the table the query reads, or of the table
// opened for appending; after Update the row stays current, so its new key can
// be read. Failures raise the "ZTADO exception: " text naming the operation
// (and the field).
class TZTRecordset
{
public:
    explicit TZTRecordset(TZTConnection* connection);
    ~TZTRecordset();
    TZTRecordset(const TZTRecordset&) = delete;
    TZTRecordset& operator=(const TZTRecordset&) = delete;

    void Open(const QString& sql);
    // Opens `table` for AddNew/SetField/Update alone, reading none of its
    // rows; it stands at its end. Fails as Open does.
    void OpenForAppend(const QString& table);
    // Never raises; drops a row that was added or changed but not stored.
    void Close() noexcept;
    bool IsOpen() const { return m_stmt || m_target; }

    bool Eof();
    void MoveNext();

    // NULL, or a value that does not convert, reads as the type's zero.
    QString GetFieldAsString(const QString& name);
    int GetFieldAsInteger(const QString& name);
    double GetFieldAsDouble(const QString& name);
    TDateTime GetFieldAsDateTime(const QString& name);

    void SetField(const QString& name, const QString& value);
    void SetField(const QString& name, int value);
    void SetField(const QString& name, double value);
    void SetField(const QString& name, TDateTime value);

    void AddNew();
    // The current row is changed in place by SetField; nothing to do here.
    void Edit() {}
    void Update();

private:
    using Kind = FieldKind;
    using Cell = FieldCell;

    struct Column
    {
        QString name;
        Kind kind = Kind::Other;
        int maxLength = 0; // from "VARCHAR(n)"; 0 when unlimited
    };

    // A name looked up from one starting column, and what the search found.
    // Holding the caller's text keeps its characters alive, so the same
    // address later means the same name.
    struct Lookup
    {
        QString name;
        int index = -1;
        int next = 0; // the starting column after it
    };

    // The table that writes go to, learnt on the first write.
    struct Target
    {
        QString table;
        std::vector<Column> columns;
        int keyColumn = -1; // the INTEGER PRIMARY KEY, -1 when there is none
        // Writes repeat with the same columns (an import appends thousands of
        // rides): each statement is prepared once, keyed by the columns it sets.
        std::map<std::vector<bool>, Statement> inserts;
        std::map<std::vector<bool>, Statement> updates;
        Statement readBack;
    };

    // A row held in memory: one being added, one being changed, or one just stored.
    struct Buffer
    {
        std::vector<Cell> cells; // by Target::columns
        std::vector<bool> dirty;
        bool adding = false;
        qint64 rowid = 0;
        bool loaded = true; // false: a stored row, read back only when needed
    };

    [[noreturn]] void Fail(const QString& operation, const QString& description);
    [[noreturn]] void FailSqlite(const QString& operation);
    void CheckOpen(const QString& operation);
    // Finds the field and returns its value, from the buffer or the statement.
    Cell ReadCell(const char* reader, const QString& name);
    const Target& WriteTarget(const QString& operation);
    void LearnTarget(const QString& table, const QString& operation);
    int BufferColumn(const char* operation, const QString& name);
    using Converter = std::function<bool(Kind, Cell&)>;
    using Shown = std::function<QString()>; // the value as a message names it
    void StoreField(const QString& name, const Converter& convert, const Shown& shown);
    void LoadBuffer(qint64 rowid, const QString& operation);
    void EnsureLoaded(const QString& operation);
    sqlite3_stmt* WriteStatement(bool adding, const std::vector<bool>& columns, const QString& operation);
    sqlite3_stmt* Prepared(Statement& slot, const QString& sql, const QString& operation);
    void Step(const QString& operation);
    bool OpenOnConnection() const;
    int ColumnIndex(const QString& name); // -1 when the query has no such column
    Lookup SearchColumn(const QString& name) const;
    void SetColumns(std::vector<Column> columns);

    TZTConnection* m_connection;
    Statement m_stmt;
    sqlite3* m_db = nullptr; // the handle m_stmt, or the target's statements, were prepared on
    int m_nextColumn = 0;
    std::vector<Column> m_columns;
    std::vector<Lookup> m_lookups; // by starting column
    bool m_eof = true;
    std::unique_ptr<Target> m_target; // without m_stmt: opened for appending
    std::unique_ptr<Buffer> m_buffer;
};

// Closes a recordset when the scope ends, on every path.
class RecordsetCloser
{
public:
    explicit RecordsetCloser(TZTRecordset& recordset) : m_recordset(recordset) {}
    ~RecordsetCloser() { m_recordset.Close(); }
    RecordsetCloser(const RecordsetCloser&) = delete;
    RecordsetCloser& operator=(const RecordsetCloser&) = delete;

private:
    TZTRecordset& m_recordset;
};
