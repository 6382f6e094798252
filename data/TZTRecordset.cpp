#include "data/TZTRecordset.h"

#include "data/Sql.h"
#include "data/TZTConnection.h"
#include "util/Exception.h"

#include <sqlite3.h>

#include <algorithm>


namespace {

const QString OpenOperation = QStringLiteral("TZTRecordset::Open");
const QString EofOperation = QStringLiteral("TZTRecordset::Eof");
const QString MoveNextOperation = QStringLiteral("TZTRecordset::MoveNext");
const QString AddNewOperation = QStringLiteral("TZTRecordset::AddNew");
const QString UpdateOperation = QStringLiteral("TZTRecordset::Update");

const QString ClosedDescription = QStringLiteral("Operation is not allowed when the object is closed");
const QString NoCurrentRowDescription =
    QStringLiteral("Either BOF or EOF is True, or the current record has been deleted");

QString FieldOperation(const char* operation, const QString& name)
{
    return QStringLiteral("TZTRecordset::%1[%2]").arg(QLatin1StringView(operation), name);
}

QString NoSuchColumn(const QString& name)
{
    return QStringLiteral("Item cannot be found in the collection: no column '%1'").arg(name);
}

FieldCell CellOfColumn(sqlite3_stmt* stmt, int index)
{
    // One call for the column, then reads of its value: every connection is
    // opened without a mutex and used by one thread at a time, so the value's
    // own readers are as safe as the column readers, at a third of the calls.
    sqlite3_value* value = sqlite3_column_value(stmt, index);
    FieldCell cell;
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
        cell.type = FieldCell::Integer;
        cell.integer = sqlite3_value_int64(value);
        break;
    case SQLITE_FLOAT:
        cell.type = FieldCell::Real;
        cell.real = sqlite3_value_double(value);
        break;
    case SQLITE_NULL:
        break;
    default: {
        cell.type = FieldCell::Text;
        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
        // A view on SQLite's buffer, valid until the statement moves; read at once.
        cell.text = QByteArray::fromRawData(text, sqlite3_value_bytes(value));
        break;
    }
    }
    return cell;
}

int BindCell(sqlite3_stmt* stmt, int index, const FieldCell& cell)
{
    switch (cell.type) {
    case FieldCell::Integer: return sqlite3_bind_int64(stmt, index, cell.integer);
    case FieldCell::Real: return sqlite3_bind_double(stmt, index, cell.real);
    case FieldCell::Text:
        return sqlite3_bind_text(stmt, index, cell.text.constData(), int(cell.text.size()), SQLITE_TRANSIENT);
    case FieldCell::Null: break;
    }
    return sqlite3_bind_null(stmt, index);
}

}

TZTRecordset::TZTRecordset(TZTConnection* connection)
    : m_connection(connection)
{
}

TZTRecordset::~TZTRecordset()
{
    Close();
}

void TZTRecordset::Fail(const QString& operation, const QString& description)
{
    RaiseADOException(operation, {description});
}

void TZTRecordset::FailSqlite(const QString& operation)
{
    m_connection->RaiseSqliteFailure(operation);
}

bool TZTRecordset::OpenOnConnection() const
{
    // The handle a statement was prepared on stays allocated while the
    // statement lives, so a reopened connection can never have its address;
    // a table opened for appending holds its read-back statement for this.
    return IsOpen() && m_db == m_connection->Handle();
}

int TZTRecordset::ColumnIndex(const QString& name)
{
    if (m_columns.empty())
        return -1;
    // Callers read the fields of every row in the same order, by the same
    // strings: each search starts after the last field found, and what it
    // found from there is kept with the caller's string.
    Lookup& last = m_lookups[m_nextColumn];
    if (last.name.isNull() || last.name.constData() != name.constData() || last.name.size() != name.size())
        last = SearchColumn(name);
    m_nextColumn = last.next;
    return last.index;
}

TZTRecordset::Lookup TZTRecordset::SearchColumn(const QString& name) const
{
    const int count = int(m_columns.size());
    for (int k = 0; k < count; ++k) {
        const int i = (m_nextColumn + k) % count;
        if (m_columns[i].name == name)
            return {name, i, (i + 1) % count};
    }
    for (int i = 0; i < count; ++i)
        if (m_columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return {name, i, m_nextColumn};
    return {name, -1, m_nextColumn};
}

void TZTRecordset::SetColumns(std::vector<Column> columns)
{
    m_columns = std::move(columns);
    m_nextColumn = 0;
    m_lookups.assign(m_columns.size(), Lookup());
}

void TZTRecordset::CheckOpen(const QString& operation)
{
    if (!OpenOnConnection())
        Fail(operation, ClosedDescription);
}

void TZTRecordset::Open(const QString& sql)
{
    if (IsOpen())
        Fail(OpenOperation, QStringLiteral("Operation is not allowed when the object is open"));
    if (!m_connection->Handle())
        Fail(OpenOperation, ClosedDescription);

    const QByteArray text = sql.toUtf8();
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(m_connection->Handle(), text.constData(), int(text.size()), &raw, &tail);
    m_stmt.reset(raw);
    if (rc != SQLITE_OK) {
        Close();
        FailSqlite(OpenOperation);
    }
    if (!m_stmt || (tail && !QByteArray(tail).trimmed().isEmpty())) {
        Close();
        Fail(OpenOperation, QStringLiteral("Only one statement can be opened at a time"));
    }
    m_db = m_connection->Handle();
    std::vector<Column> columns(sqlite3_column_count(m_stmt.get()));
    for (int i = 0; i < int(columns.size()); ++i) {
        const char* declared = sqlite3_column_decltype(m_stmt.get(), i);
        columns[i].name = QString::fromUtf8(sqlite3_column_name(m_stmt.get(), i));
        columns[i].kind = FieldValue::KindOfDeclaredType(QString::fromUtf8(declared ? declared : ""));
    }
    SetColumns(std::move(columns));
    try {
        Step(OpenOperation);
    } catch (...) {
        Close();
        throw;
    }
}

void TZTRecordset::OpenForAppend(const QString& table)
{
    if (IsOpen())
        Fail(OpenOperation, QStringLiteral("Operation is not allowed when the object is open"));
    if (!m_connection->Handle())
        Fail(OpenOperation, ClosedDescription);
    try {
        m_db = m_connection->Handle();
        LearnTarget(table, OpenOperation);
        Prepared(m_target->readBack, Sql::RowByRowid(table), OpenOperation);
    } catch (...) {
        Close();
        throw;
    }
    // Its fields are found, and read as at the end of a query, until a row is added.
    SetColumns(m_target->columns);
    m_eof = true;
}

void TZTRecordset::Close() noexcept
{
    m_stmt.reset();
    SetColumns({});
    m_eof = true;
    m_target.reset();
    m_buffer.reset();
}

void TZTRecordset::Step(const QString& operation)
{
    const int rc = sqlite3_step(m_stmt.get());
    if (rc == SQLITE_ROW) {
        m_eof = false;
        return;
    }
    m_eof = true;
    if (rc != SQLITE_DONE)
        FailSqlite(operation);
}

bool TZTRecordset::Eof()
{
    CheckOpen(EofOperation);
    return m_eof && !m_buffer;
}

void TZTRecordset::MoveNext()
{
    CheckOpen(MoveNextOperation);
    if (m_buffer && m_buffer->adding)
        Fail(MoveNextOperation, QStringLiteral("The added row has not been stored"));
    const bool hadBuffer = m_buffer != nullptr;
    m_buffer.reset();
    // After an append the cursor never moved: the row it stands on was read already.
    if (m_eof) {
        if (hadBuffer)
            return;
        Fail(MoveNextOperation, NoCurrentRowDescription);
    }
    Step(MoveNextOperation);
}

FieldCell TZTRecordset::ReadCell(const char* reader, const QString& name)
{
    // The operation text is built only on failure: reads are the hot path.
    if (!OpenOnConnection())
        Fail(FieldOperation(reader, name), ClosedDescription);
    if (m_buffer) {
        const int index = BufferColumn(reader, name);
        if (!m_buffer->loaded)
            EnsureLoaded(FieldOperation(reader, name));
        return m_buffer->cells[index];
    }
    const int index = ColumnIndex(name);
    if (index < 0)
        Fail(FieldOperation(reader, name), NoSuchColumn(name));
    if (m_eof)
        Fail(FieldOperation(reader, name), NoCurrentRowDescription);
    return CellOfColumn(m_stmt.get(), index);
}

QString TZTRecordset::GetFieldAsString(const QString& name)
{
    return FieldValue::ToString(ReadCell("GetFieldAsString", name));
}

int TZTRecordset::GetFieldAsInteger(const QString& name)
{
    return FieldValue::ToInteger(ReadCell("GetFieldAsInteger", name));
}

double TZTRecordset::GetFieldAsDouble(const QString& name)
{
    return FieldValue::ToDouble(ReadCell("GetFieldAsDouble", name));
}

TDateTime TZTRecordset::GetFieldAsDateTime(const QString& name)
{
    return FieldValue::ToDateTime(ReadCell("GetFieldAsDateTime", name));
}

const TZTRecordset::Target& TZTRecordset::WriteTarget(const QString& operation)
{
    CheckOpen(operation);
    if (m_target)
        return *m_target;

    // The one table all columns of the query come from.
    QString table;
    for (int i = 0; i < sqlite3_column_count(m_stmt.get()); ++i) {
        const char* origin = sqlite3_column_table_name(m_stmt.get(), i);
        const QString name = QString::fromUtf8(origin ? origin : "");
        if (name.isEmpty() || (!table.isEmpty() && name != table))
            Fail(operation, QStringLiteral("The query cannot be updated: it does not read one table"));
        table = name;
    }
    if (table.isEmpty())
        Fail(operation, QStringLiteral("The query cannot be updated: it reads no table"));
    LearnTarget(table, operation);
    return *m_target;
}

void TZTRecordset::LearnTarget(const QString& table, const QString& operation)
{
    auto target = std::make_unique<Target>();
    target->table = table;
    sqlite3_stmt* raw = nullptr;
    const QByteArray pragma = Sql::TableColumns(table).toUtf8();
    if (sqlite3_prepare_v2(m_connection->Handle(), pragma.constData(), -1, &raw, nullptr) != SQLITE_OK)
        FailSqlite(operation);
    const Statement info(raw);
    int keyColumns = 0;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(info.get())) == SQLITE_ROW) {
        Column column;
        column.name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 1)));
        const QString declared = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 2)));
        column.kind = FieldValue::KindOfDeclaredType(declared);
        column.maxLength = FieldValue::MaxLengthOfDeclaredType(declared);
        if (sqlite3_column_int(info.get(), 5) > 0) {
            ++keyColumns;
            if (declared.compare(u"INTEGER", Qt::CaseInsensitive) == 0)
                target->keyColumn = int(target->columns.size());
        }
        target->columns.push_back(column);
    }
    // Another connection's lock stops even this read of the schema.
    if (rc != SQLITE_DONE)
        FailSqlite(operation);
    if (target->columns.empty())
        Fail(operation, QStringLiteral("no such table: %1").arg(table));
    if (keyColumns != 1)
        target->keyColumn = -1;
    m_target = std::move(target);
}

int TZTRecordset::BufferColumn(const char* operation, const QString& name)
{
    // The operation text is built only on failure: writes of an import are a hot path too.
    const Target& target = m_target ? *m_target : WriteTarget(FieldOperation(operation, name));
    const int count = int(target.columns.size());
    for (int i = 0; i < count; ++i)
        if (target.columns[i].name == name)
            return i;
    for (int i = 0; i < count; ++i)
        if (target.columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    Fail(FieldOperation(operation, name), NoSuchColumn(name));
}

void TZTRecordset::AddNew()
{
    const Target& target = WriteTarget(AddNewOperation);
    auto buffer = std::make_unique<Buffer>();
    buffer->cells.resize(target.columns.size());
    buffer->dirty.assign(target.columns.size(), false);
    buffer->adding = true;
    m_buffer = std::move(buffer);
}

void TZTRecordset::StoreField(const QString& name, const Converter& convert, const Shown& shown)
{
    const int index = BufferColumn("SetField", name);
    const auto operation = [&] { return FieldOperation("SetField", name); };
    const Column& column = m_target->columns[index];
    Cell cell;
    if (!convert(column.kind, cell))
        Fail(operation(), QStringLiteral("Type mismatch: %1 does not fit the field").arg(shown()));
    // A text of no more bytes than characters allowed fits without counting.
    if (column.maxLength > 0 && cell.type == FieldCell::Text && cell.text.size() > column.maxLength) {
        const qsizetype length = QString::fromUtf8(cell.text).size();
        if (length > column.maxLength)
            Fail(operation(), QStringLiteral("The text is too long for the field: %1 characters, at most %2")
                                .arg(length)
                                .arg(column.maxLength));
    }
    if (!m_buffer) {
        // Changing the row the cursor stands on: hold it in memory until Update.
        if (m_eof)
            Fail(operation(), NoCurrentRowDescription);
        if (m_target->keyColumn < 0)
            Fail(operation(), QStringLiteral("The query cannot be updated: its table has no integer key"));
        const QString& keyName = m_target->columns[m_target->keyColumn].name;
        const int key = ColumnIndex(keyName);
        if (key < 0)
            Fail(operation(), QStringLiteral("The query cannot be updated: it does not read the key column"));
        LoadBuffer(sqlite3_column_int64(m_stmt.get(), key), operation());
    }
    if (!m_buffer->loaded)
        EnsureLoaded(operation());
    m_buffer->cells[index] = std::move(cell);
    m_buffer->dirty[index] = true;
}

void TZTRecordset::SetField(const QString& name, const QString& value)
{
    StoreField(name, [&](Kind kind, Cell& cell) { return FieldValue::FromString(value, kind, cell); },
               [&] { return u'\'' + value + u'\''; });
}

void TZTRecordset::SetField(const QString& name, int value)
{
    StoreField(name, [&](Kind kind, Cell& cell) { return FieldValue::FromInteger(value, kind, cell); },
               [&] { return QString::number(value); });
}

void TZTRecordset::SetField(const QString& name, double value)
{
    StoreField(name, [&](Kind kind, Cell& cell) { return FieldValue::FromDouble(value, kind, cell); },
               [&] { return QString::number(value); });
}

void TZTRecordset::SetField(const QString& name, TDateTime value)
{
    StoreField(name, [&](Kind kind, Cell& cell) { return FieldValue::FromDateTime(value, kind, cell); },
               [&] { return QStringLiteral("the date %1").arg(value.Val()); });
}

sqlite3_stmt* TZTRecordset::Prepared(Statement& slot, const QString& sql, const QString& operation)
{
    if (!slot) {
        const QByteArray text = sql.toUtf8();
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(m_connection->Handle(), text.constData(), int(text.size()), &raw, nullptr) != SQLITE_OK)
            FailSqlite(operation);
        slot.reset(raw);
    }
    sqlite3_reset(slot.get());
    sqlite3_clear_bindings(slot.get());
    return slot.get();
}

void TZTRecordset::LoadBuffer(qint64 rowid, const QString& operation)
{
    sqlite3_stmt* stmt = Prepared(m_target->readBack, Sql::RowByRowid(m_target->table), operation);
    sqlite3_bind_int64(stmt, 1, rowid);
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE)
        Fail(operation, QStringLiteral("Row cannot be located for updating: it has been deleted"));
    if (rc != SQLITE_ROW)
        FailSqlite(operation);
    auto buffer = std::make_unique<Buffer>();
    const int count = int(m_target->columns.size());
    buffer->cells.resize(count);
    buffer->dirty.assign(count, false);
    buffer->rowid = rowid;
    for (int i = 0; i < count && i < sqlite3_column_count(stmt); ++i) {
        buffer->cells[i] = CellOfColumn(stmt, i);
        buffer->cells[i].text.detach(); // own the bytes: the statement moves on
    }
    sqlite3_reset(stmt);
    m_buffer = std::move(buffer);
}

void TZTRecordset::EnsureLoaded(const QString& operation)
{
    if (m_buffer && !m_buffer->loaded)
        LoadBuffer(m_buffer->rowid, operation);
}

sqlite3_stmt* TZTRecordset::WriteStatement(bool adding, const std::vector<bool>& columns, const QString& operation)
{
    // Found before any text is built: an import of thousands comes here for every ride.
    Statement& slot = (adding ? m_target->inserts : m_target->updates)[columns];
    if (slot)
        return Prepared(slot, QString(), operation);
    QStringList names;
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i])
            names.append(m_target->columns[i].name);
    return Prepared(slot, adding ? Sql::InsertRow(m_target->table, names) : Sql::UpdateRow(m_target->table, names),
                    operation);
}

void TZTRecordset::Update()
{
    CheckOpen(UpdateOperation);
    if (!m_buffer) {
        if (m_eof)
            Fail(UpdateOperation, NoCurrentRowDescription);
        return; // nothing was changed
    }
    Buffer& buffer = *m_buffer;
    const bool changed = std::find(buffer.dirty.begin(), buffer.dirty.end(), true) != buffer.dirty.end();
    if (!buffer.adding && !changed)
        return;

    sqlite3_stmt* stmt = WriteStatement(buffer.adding, buffer.dirty, UpdateOperation);
    int parameter = 1;
    for (size_t i = 0; i < buffer.dirty.size(); ++i)
        if (buffer.dirty[i])
            BindCell(stmt, parameter++, buffer.cells[i]);
    if (!buffer.adding)
        sqlite3_bind_int64(stmt, parameter, buffer.rowid);
    const int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    if (rc != SQLITE_DONE)
        FailSqlite(UpdateOperation);
    if (!buffer.adding && sqlite3_changes(m_connection->Handle()) == 0)
        Fail(UpdateOperation, QStringLiteral("Row cannot be located for updating: it has been deleted"));
    // The stored row stays current; its key and defaults are read back when asked for.
    buffer.rowid = buffer.adding ? sqlite3_last_insert_rowid(m_connection->Handle()) : buffer.rowid;
    buffer.adding = false;
    buffer.loaded = false;
    std::fill(buffer.dirty.begin(), buffer.dirty.end(), false);
}
