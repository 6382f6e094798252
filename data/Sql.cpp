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

QString KmOfDays(const QDate& first, const QDate& last)
{
    // A date range, as for a month, so the date index serves it; before the
    // next day, so that a date with a time of day still counts.
    return QStringLiteral("SELECT total(KM) AS KM FROM Uscite WHERE (Data >= %1) AND (Data < %2)")
        .arg(Quoted(TDateTime::FromQDate(first)), Quoted(TDateTime::FromQDate(last.addDays(1))));
}

QString YearsByDay(const QDate& day)
{
    const QString monthDay = day.toString(QStringLiteral("MM-dd"));
    return QStringLiteral("SELECT substr(Data, 1, 4) AS Anno, min(Data) AS Primo, total(KM) AS KM, "
                          "total(CASE WHEN substr(Data, 6, 5) <= '%1' THEN KM END) AS KMAllaData "
                          "FROM Uscite WHERE Data < %2 GROUP BY Anno ORDER BY Anno")
        .arg(monthDay, Quoted(TDateTime::EncodeDate(day.year(), 1, 1)));
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

QStringList CreateBikeTables()
{
    // Triggers rather than ON DELETE CASCADE alone: they hold for connections
    // that leave foreign keys off, as SQLite's own shell does.
    return {
        QStringLiteral("CREATE TABLE IF NOT EXISTS Bici ("
                       "IDBici INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "Nome TEXT NOT NULL UNIQUE COLLATE NOCASE CHECK (trim(Nome) <> ''), "
                       "KmIniziali REAL NOT NULL DEFAULT 0 CHECK (KmIniziali >= 0), "
                       "DataAcquisto DATE, "
                       "Ritirata INTEGER NOT NULL DEFAULT 0 CHECK (Ritirata IN (0, 1)))"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS BiciTipiUscita ("
                       "IDTipoUscita INTEGER PRIMARY KEY, "
                       "IDBici INTEGER NOT NULL REFERENCES Bici (IDBici) ON DELETE CASCADE)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS UsciteBici ("
                       "IDUscita INTEGER PRIMARY KEY REFERENCES Uscite (IDUscita), "
                       "IDBici INTEGER NOT NULL REFERENCES Bici (IDBici) ON DELETE CASCADE)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS IX_UsciteBici_IDBici ON UsciteBici (IDBici)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS Componenti ("
                       "IDComponente INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "Nome TEXT NOT NULL CHECK (trim(Nome) <> ''), "
                       "LimiteKm REAL CHECK (LimiteKm > 0), "
                       "LimiteMesi INTEGER CHECK (LimiteMesi > 0), "
                       "Note TEXT, "
                       "DataRitiro DATE)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS Montaggi ("
                       "IDMontaggio INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "IDComponente INTEGER NOT NULL REFERENCES Componenti (IDComponente) ON DELETE CASCADE, "
                       "IDBici INTEGER NOT NULL REFERENCES Bici (IDBici) ON DELETE CASCADE, "
                       "Dal DATE NOT NULL, "
                       "KmBici REAL CHECK (KmBici >= 0), "
                       "Al DATE CHECK (Al >= Dal))"),
        QStringLiteral("CREATE TRIGGER IF NOT EXISTS UsciteBici_Cancella AFTER DELETE ON Uscite "
                       "BEGIN DELETE FROM UsciteBici WHERE IDUscita = OLD.IDUscita; END"),
        QStringLiteral("CREATE TRIGGER IF NOT EXISTS Bici_Cancella AFTER DELETE ON Bici BEGIN "
                       "DELETE FROM UsciteBici WHERE IDBici = OLD.IDBici; "
                       "DELETE FROM BiciTipiUscita WHERE IDBici = OLD.IDBici; "
                       "DELETE FROM Montaggi WHERE IDBici = OLD.IDBici; END"),
        QStringLiteral("CREATE TRIGGER IF NOT EXISTS Componenti_Cancella AFTER DELETE ON Componenti "
                       "BEGIN DELETE FROM Montaggi WHERE IDComponente = OLD.IDComponente; END"),
    };
}

QString BikeTablesPresent()
{
    return QStringLiteral(
        "SELECT count(*) AS n FROM sqlite_master WHERE "
        "(type = 'table' AND name IN ('Bici', 'BiciTipiUscita', 'UsciteBici', 'Componenti', 'Montaggi')) "
        "OR (type = 'index' AND name = 'IX_UsciteBici_IDBici') "
        "OR (type = 'trigger' AND name IN ('UsciteBici_Cancella', 'Bici_Cancella', 'Componenti_Cancella'))");
}

QString BikeTablesExist()
{
    // The tables are made together: the one of the bikes stands for all.
    return QStringLiteral("SELECT count(*) AS n FROM sqlite_master WHERE type = 'table' AND name = 'Bici'");
}

QString Bikes()
{
    return QStringLiteral("SELECT IDBici, Nome, KmIniziali, DataAcquisto, Ritirata FROM Bici ORDER BY Nome, IDBici");
}

QString BikeById(int bike)
{
    return QStringLiteral("SELECT * FROM Bici WHERE IDBici = %1").arg(bike);
}

QString Parts()
{
    return QStringLiteral("SELECT IDComponente, Nome, LimiteKm, LimiteMesi, Note, DataRitiro FROM Componenti "
                          "ORDER BY Nome COLLATE NOCASE, IDComponente");
}

QString PartById(int part)
{
    return QStringLiteral("SELECT * FROM Componenti WHERE IDComponente = %1").arg(part);
}

QString Fittings()
{
    return QStringLiteral("SELECT IDMontaggio, IDComponente, IDBici, Dal, KmBici, Al FROM Montaggi "
                          "ORDER BY IDComponente, Dal, IDMontaggio");
}

QString DefaultBikes()
{
    return QStringLiteral("SELECT IDTipoUscita, IDBici FROM BiciTipiUscita ORDER BY IDTipoUscita");
}

QString BikeOfRide(int ride)
{
    return QStringLiteral("SELECT IDBici FROM UsciteBici WHERE IDUscita = %1").arg(ride);
}

QString RideBikeNames()
{
    return QStringLiteral("SELECT l.IDUscita AS IDUscita, b.Nome AS Nome FROM UsciteBici AS l "
                          "JOIN Bici AS b ON b.IDBici = l.IDBici");
}

QString BikeRides()
{
    // The rides outside, in key order: the links are found by key beside
    // them. Taken bike by bike through the index, every bike would read the
    // whole file of rides again.
    return QStringLiteral("SELECT l.IDBici AS IDBici, u.Data AS Data, u.KM AS KM, u.Durata AS Durata "
                          "FROM Uscite AS u CROSS JOIN UsciteBici AS l ON l.IDUscita = u.IDUscita");
}

QString BikeRidesOf(const QList<int>& bikes)
{
    QStringList keys;
    for (int bike : bikes)
        keys.append(QString::number(bike));
    return QStringLiteral("SELECT l.IDBici AS IDBici, u.Data AS Data, u.KM AS KM, u.Durata AS Durata "
                          "FROM UsciteBici AS l CROSS JOIN Uscite AS u ON u.IDUscita = l.IDUscita "
                          "WHERE l.IDBici IN (%1)")
        .arg(keys.join(QStringLiteral(", ")));
}

QString RidesOfPeriodWithBike(TDateTime start, TDateTime end)
{
    const QString period = PeriodCondition(start, end);
    return QStringLiteral("SELECT l.IDBici AS IDBici, u.KM AS KM, u.Durata AS Durata FROM Uscite AS u "
                          "LEFT JOIN UsciteBici AS l ON l.IDUscita = u.IDUscita WHERE (%1)")
        .arg(period);
}

QString DeleteBike(int bike)
{
    return QStringLiteral("DELETE FROM Bici WHERE IDBici = %1").arg(bike);
}

QString DeletePart(int part)
{
    return QStringLiteral("DELETE FROM Componenti WHERE IDComponente = %1").arg(part);
}

QString ClearBikePurchase(int bike)
{
    return QStringLiteral("UPDATE Bici SET DataAcquisto = NULL WHERE IDBici = %1").arg(bike);
}

QString ClearPartLimits(int part, bool km, bool months)
{
    return QStringLiteral("UPDATE Componenti SET LimiteKm = %1, LimiteMesi = %2 WHERE IDComponente = %3")
        .arg(km ? u"NULL" : u"LimiteKm", months ? u"NULL" : u"LimiteMesi")
        .arg(part);
}

QString SetDefaultBike(int rideType, int bike)
{
    return QStringLiteral("INSERT OR REPLACE INTO BiciTipiUscita (IDTipoUscita, IDBici) VALUES (%1, %2)")
        .arg(rideType)
        .arg(bike);
}

QString ClearDefaultBike(int rideType)
{
    return QStringLiteral("DELETE FROM BiciTipiUscita WHERE IDTipoUscita = %1").arg(rideType);
}

QString SetRideBike(int ride, int bike)
{
    return QStringLiteral("INSERT OR REPLACE INTO UsciteBici (IDUscita, IDBici) VALUES (%1, %2)").arg(ride).arg(bike);
}

QString ClearRideBike(int ride)
{
    return QStringLiteral("DELETE FROM UsciteBici WHERE IDUscita = %1").arg(ride);
}

QString CloseFitting(int part, const QDate& day)
{
    return QStringLiteral("UPDATE Montaggi SET Al = %1 WHERE IDComponente = %2 AND Al IS NULL")
        .arg(Quoted(TDateTime::FromQDate(day)))
        .arg(part);
}

QString RetirePart(int part, const QDate& day)
{
    return QStringLiteral("UPDATE Componenti SET DataRitiro = %1 WHERE IDComponente = %2")
        .arg(Quoted(TDateTime::FromQDate(day)))
        .arg(part);
}

}
