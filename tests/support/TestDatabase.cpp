#include "TestDatabase.h"

#include <QFile>
#include <QStringList>

#include <functional>

#include <sqlite3.h>

namespace {

QString ReadFile(const char* path)
{
    QFile file(QString::fromUtf8(path));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString WithDatabase(const QString& path, int flags, const std::function<QString(sqlite3*)>& work)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr) != SQLITE_OK) {
        const QString error = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        return error;
    }
    const QString result = work(db);
    sqlite3_close(db);
    return result;
}

QString ExecOn(sqlite3* db, const QString& sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error) == SQLITE_OK)
        return QString();
    const QString text = QString::fromUtf8(error);
    sqlite3_free(error);
    return text.isEmpty() ? QStringLiteral("error") : text;
}

}

namespace TestDatabase {

QString Create(const QString& path)
{
    const QString schema = ReadFile(KV_SCHEMA_SQL);
    const QString types = ReadFile(KV_TYPES_SQL);
    if (schema.isEmpty() || types.isEmpty())
        return QStringLiteral("schema files not found");
    return WithDatabase(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        [&](sqlite3* db) { return ExecOn(db, schema + types); });
}

QString Exec(const QString& path, const QString& sql)
{
    return WithDatabase(path, SQLITE_OPEN_READWRITE, [&](sqlite3* db) {
        sqlite3_exec(db, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
        return ExecOn(db, sql);
    });
}

QString InsertRide(const QString& path, const QString& date, double km, int type, const QString& description,
                   const QString& duration)
{
    return WithDatabase(path, SQLITE_OPEN_READWRITE, [&](sqlite3* db) {
        sqlite3_exec(db, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, "INSERT INTO Uscite (IDTipoUscita, Data, KM, Descrizione, Durata) "
                                   "VALUES (?, ?, ?, ?, ?)", -1, &stmt, nullptr) != SQLITE_OK)
            return QString::fromUtf8(sqlite3_errmsg(db));
        const auto bindText = [stmt](int parameter, const QString& text) {
            if (text.isNull()) {
                sqlite3_bind_null(stmt, parameter);
                return;
            }
            const QByteArray bytes = text.toUtf8();
            sqlite3_bind_text(stmt, parameter, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        };
        sqlite3_bind_int(stmt, 1, type);
        bindText(2, date);
        sqlite3_bind_double(stmt, 3, km);
        bindText(4, description);
        bindText(5, duration);
        const QString error = sqlite3_step(stmt) == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(stmt);
        return error;
    });
}

QString FillRides(const QString& path, int count, int deletedEvery)
{
    QString sql = QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
        "INSERT INTO Uscite (IDTipoUscita, Data, Descrizione, KM, Durata, Note) "
        "SELECT i % 6, date('1995-01-01', '+' || (i / 7) || ' days'), 'Giro n. ' || i || ' in città', "
        "(i % 2000) / 10.0, CASE WHEN i % 4 = 0 THEN NULL ELSE '01:02:03' END, "
        "CASE WHEN i % 9 = 0 THEN 'nota' END FROM n").arg(count);
    if (deletedEvery > 0)
        sql += QStringLiteral("; DELETE FROM Uscite WHERE IDUscita % %1 = 0").arg(deletedEvery);
    return Exec(path, sql);
}

QString DamageDateIndex(const QString& path)
{
    return Exec(path, QStringLiteral("PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = "
                                     "'CREATE INDEX IX_Uscite_Data ON Uscite (KM)' WHERE name = 'IX_Uscite_Data'"));
}

QString ForgetOrderOf(const QString& path, const QString& column)
{
    QStringList columns = {u"IDUscita INTEGER PRIMARY KEY AUTOINCREMENT"_qs, u"IDTipoUscita INTEGER"_qs,
                           u"Data DATE"_qs, u"Descrizione VARCHAR(255)"_qs, u"KM REAL"_qs, u"Durata TIME"_qs,
                           u"Note VARCHAR(255)"_qs};
    for (QString& definition : columns)
        if (definition.startsWith(column + u' '))
            definition += u" COLLATE Forgotten"_qs;
    const QByteArray sql = (u"ALTER TABLE Uscite RENAME TO Vecchie; CREATE TABLE Uscite ("_qs + columns.join(u", "_qs)
                            + u"); INSERT INTO Uscite SELECT * FROM Vecchie; DROP TABLE Vecchie"_qs)
                               .toUtf8();
    return WithDatabase(path, SQLITE_OPEN_READWRITE, [&](sqlite3* db) {
        if (sqlite3_create_collation(db, "Forgotten", SQLITE_UTF8, nullptr,
                                     [](void*, int, const void*, int, const void*) { return 0; }) != SQLITE_OK
            || sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
            return QString::fromUtf8(sqlite3_errmsg(db));
        return QString();
    });
}

QString Scalar(const QString& path, const QString& sql)
{
    QString value;
    WithDatabase(path, SQLITE_OPEN_READONLY, [&](sqlite3* db) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) == SQLITE_OK
            && sqlite3_step(stmt) == SQLITE_ROW)
            value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        sqlite3_finalize(stmt);
        return QString();
    });
    return value;
}

const QString RideFigures = QStringLiteral(
    "SELECT count(*) || ' ' || total(KM) || ' ' || total(IDUscita * 8 + IDTipoUscita) || ' ' || "
    "total(length(Data || Descrizione)) || ' ' || total(length(Durata)) || ' ' || total(length(Note)) FROM Uscite");

QString CreateProgramFolder(const QString& folder)
{
    const QString database = folder + QStringLiteral("/kilovento.mdb");
    QFile::remove(database);
    if (const QString error = Create(database); !error.isEmpty())
        return error;
    QFile ini(folder + QStringLiteral("/kilovento.ini"));
    if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return ini.errorString();
    ini.write("[DATABASE]\nConnectionString=Provider=SQLite;Data Source=%DATASOURCE%\n");
    return QString();
}

QString ConnectionStringFor(const QString& path)
{
    return QStringLiteral("Provider=SQLite;Data Source=") + path;
}

}
