#include "data/Sql.h"

#include "util/Formats.h"

namespace {

QString Quoted(TDateTime date)
{
    return u'\'' + Formats::SqlDate(date) + u'\'';
}

QString PeriodCondition(TDateTime start, TDateTime end)
{
    return QStringLiteral("(Data >= %1) AND (Data <= %2)").arg(Quoted(start), Quoted(end));
}

// The order Rides reads a ride's fields in, so each is found at the next column.
constexpr char RideColumns[] = "Data, IDTipoUscita, KM, Durata, Descrizione, IDUscita";

QString QuotedIdentifier(const QString& name)
{
    return u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

}

namespace Sql {

QString MonthRides(int year, int month)
{
    // A date range rather than functions of Data, so the date index serves it.
    const TDateTime first = TDateTime::EncodeDate(year, month, 1);
    const TDateTime next = month == 12 ? TDateTime::EncodeDate(year + 1, 1, 1)
                                       : TDateTime::EncodeDate(year, month + 1, 1);
    return QStringLiteral("SELECT * FROM Uscite WHERE (Data >= %1) AND (Data < %2) ORDER BY Data, IDUscita")
        .arg(Quoted(first), Quoted(next));
}

QString RideById(int id)
{
    return QStringLiteral("SELECT * FROM Uscite WHERE IDUscita = %1").arg(id);
}

QString DeleteRide(int id)
{
    return QStringLiteral("DELETE FROM Uscite WHERE IDUscita = %1").arg(id);
}

QString AllRidesByKey()
{
    return QStringLiteral("SELECT * FROM Uscite ORDER BY IDUscita");
}

QString RidesByDate()
{
    // The date index gives this order without sorting: its entries end with the key.
    return QStringLiteral("SELECT %1 FROM Uscite ORDER BY Data, IDUscita").arg(QLatin1StringView(RideColumns));
}

QString RidesByDate(TDateTime start, TDateTime end)
{
    return QStringLiteral("SELECT %1 FROM Uscite WHERE (%2) ORDER BY Data, IDUscita")
        .arg(QLatin1StringView(RideColumns), PeriodCondition(start, end));
}

QString YearKm(int year)
{
    // A date range, as for a month, so the date index serves it.
    return QStringLiteral("SELECT total(KM) AS KM FROM Uscite WHERE (Data >= %1) AND (Data < %2)")
        .arg(Quoted(TDateTime::EncodeDate(year, 1, 1)), Quoted(TDateTime::EncodeDate(year + 1, 1, 1)));
}

QString Top10(TDateTime start, TDateTime end)
{
    const QString period = PeriodCondition(start, end);
    return QStringLiteral("SELECT %1 FROM Uscite WHERE KM >= "
                          "(SELECT min(KM) FROM (SELECT KM FROM Uscite WHERE (%2) ORDER BY KM DESC LIMIT 10)) "
                          "AND (%2) ORDER BY KM DESC, Data, IDUscita")
        .arg(QLatin1StringView(RideColumns), period);
}

QString RideTypes()
{
    return QStringLiteral("SELECT IDTipoUscita, Descrizione FROM TipiUscita ORDER BY IDTipoUscita");
}

QString TableColumns(const QString& table)
{
    return QStringLiteral("PRAGMA table_info(%1)").arg(QuotedIdentifier(table));
}

QString RowByRowid(const QString& table)
{
    return QStringLiteral("SELECT * FROM %1 WHERE rowid = ?").arg(QuotedIdentifier(table));
}

QString InsertRow(const QString& table, const QStringList& columns)
{
    if (columns.isEmpty())
        return QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(QuotedIdentifier(table));
    QStringList names, marks;
    for (const QString& column : columns) {
        names.append(QuotedIdentifier(column));
        marks.append(QStringLiteral("?"));
    }
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(QuotedIdentifier(table), names.join(u", "), marks.join(u", "));
}

QString UpdateRow(const QString& table, const QStringList& columns)
{
    QStringList names;
    for (const QString& column : columns)
        names.append(QuotedIdentifier(column));
    return QStringLiteral("UPDATE %1 SET %2 = ? WHERE rowid = ?")
        .arg(QuotedIdentifier(table), names.join(QStringLiteral(" = ?, ")));
}

QString BeginTransaction()
{
    return QStringLiteral("BEGIN IMMEDIATE");
}

QString CommitTransaction()
{
    return QStringLiteral("COMMIT");
}

QString RollbackTransaction()
{
    return QStringLiteral("ROLLBACK");
}

QString BeginExclusiveTransaction()
{
    return QStringLiteral("BEGIN EXCLUSIVE");
}

QString KeepLocksUntilClosed()
{
    return QStringLiteral("PRAGMA locking_mode = EXCLUSIVE");
}

QString JournalMode()
{
    return QStringLiteral("PRAGMA journal_mode");
}

QString UseRollbackJournal()
{
    return QStringLiteral("PRAGMA journal_mode = DELETE");
}

QString UseWriteAheadLog()
{
    return QStringLiteral("PRAGMA journal_mode = WAL");
}

QString VacuumInto(const QString& path)
{
    // The path is the program's own, beside the database; quoted as an SQL
    // string literal all the same, since a folder name may hold a quote.
    return QStringLiteral("VACUUM INTO '%1'").arg(QString(path).replace(u'\'', QStringLiteral("''")));
}

QString UnflushedWrites()
{
    return QStringLiteral("PRAGMA synchronous = OFF");
}

QString IntegrityCheck()
{
    return QStringLiteral("PRAGMA integrity_check");
}

QString RideTotals()
{
    return QStringLiteral("SELECT count(*) AS Uscite, total(KM) AS KM FROM Uscite");
}

QString CreateImportedSpans()
{
    return QStringLiteral("CREATE TABLE IF NOT EXISTS UsciteImportate ("
                          "IDUscita INTEGER PRIMARY KEY REFERENCES Uscite (IDUscita), "
                          "Inizio TEXT NOT NULL, Fine TEXT NOT NULL)");
}

QString CreateImportedSpansTrigger()
{
    // A trigger rather than ON DELETE CASCADE: it holds for connections that
    // leave foreign keys off, as SQLite's own shell does.
    return QStringLiteral("CREATE TRIGGER IF NOT EXISTS UsciteImportate_Cancella AFTER DELETE ON Uscite "
                          "BEGIN DELETE FROM UsciteImportate WHERE IDUscita = OLD.IDUscita; END");
}

QString ImportedSpansExist()
{
    return QStringLiteral("SELECT count(*) AS n FROM sqlite_master WHERE type = 'table' AND name = 'UsciteImportate'");
}

QString ImportedSpansOverlapping(const QString& fromUtc, const QString& toUtc)
{
    return QStringLiteral("SELECT Inizio, Fine FROM UsciteImportate WHERE Inizio < '%1' AND Fine > '%2' "
                          "ORDER BY Inizio")
        .arg(toUtc, fromUtc);
}

QString RidesOfDays(TDateTime first, TDateTime last, bool withSpans)
{
    // Before the day after `last`, so a date stored with a time of day counts too.
    const QString period = QStringLiteral("(u.Data >= %1) AND (u.Data < %2)")
                               .arg(Quoted(first), Quoted(TDateTime(last.DateOnly().Val() + 1.0)));
    if (!withSpans)
        return QStringLiteral("SELECT u.Data AS Data, u.KM AS KM, 0 AS Ricordata FROM Uscite AS u WHERE %1 "
                              "ORDER BY u.Data, u.IDUscita")
            .arg(period);
    return QStringLiteral("SELECT u.Data AS Data, u.KM AS KM, (i.IDUscita IS NOT NULL) AS Ricordata FROM Uscite AS u "
                          "LEFT JOIN UsciteImportate AS i ON i.IDUscita = u.IDUscita WHERE %1 "
                          "ORDER BY u.Data, u.IDUscita")
        .arg(period);
}

}
