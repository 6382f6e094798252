#include "data/FieldValue.h"
#include "data/Sql.h"
#include "data/TZTConnection.h"
#include "data/TZTRecordset.h"
#include "data/Transaction.h"
#include "support/Failure.h"
#include "support/TestDatabase.h"
#include "support/DatabaseHolder.h"
#include "support/Errors.h"
#include "support/FreshDatabase.h"
#include "support/WithoutRootOverride.h"
#include "util/Exception.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

TDateTime Day(int y, int m, int d)
{
    return TDateTime::EncodeDate(y, m, d);
}

}

class TestData : public QObject, protected FreshDatabase
{
    Q_OBJECT

private:
    // Appends a ride the way the add command does; returns its key.
    int Add(TDateTime date, double km, int type = 0, const QString& text = QString(), TDateTime duration = {})
    {
        TZTRecordset rs(m_connection.get());
        rs.OpenForAppend(u"Uscite"_qs);
        rs.AddNew();
        rs.SetField(QStringLiteral("Data"), date);
        rs.SetField(QStringLiteral("IDTipoUscita"), type);
        rs.SetField(QStringLiteral("KM"), km);
        rs.SetField(QStringLiteral("Descrizione"), text);
        rs.SetField(QStringLiteral("Durata"), duration);
        rs.Update();
        return rs.GetFieldAsInteger(QStringLiteral("IDUscita"));
    }

    // The keys a query returns, in order.
    QList<int> Keys(const QString& sql)
    {
        QList<int> keys;
        TZTRecordset rs(m_connection.get());
        for (rs.Open(sql); !rs.Eof(); rs.MoveNext())
            keys.append(rs.GetFieldAsInteger(QStringLiteral("IDUscita")));
        return keys;
    }

    QString Stored(const QString& sql) { return TestDatabase::Scalar(m_path, sql); }

private Q_SLOTS:
    void init() { QCOMPARE(RenewDatabase(), QString()); }

    void openRefusesWhatIsNotARideDatabase_data()
    {
        // The file to make: "-" for none, "/" for a folder, "locked" for a ride database another holds.
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("connectionString");
        QTest::addColumn<QString>("expected");

        const QString file = QStringLiteral("Provider=SQLite;Data Source=%FILE%");
        QTest::newRow("missing file") << u"-"_qs << file << u"Database file not found"_qs;
        QTest::newRow("folder") << u"/"_qs << file << u"Not a database file"_qs;
        QTest::newRow("text file") << u"just some text, long enough to be no database header at all........"_qs
                                   << file << u"file is not a database"_qs;
        QTest::newRow("empty file, so no ride tables") << QString() << file << u"Not a ride database"_qs;
        QTest::newRow("held by another process") << u"locked"_qs << file << u"database is locked"_qs;
        // The string is refused before the file is looked at.
        QTest::newRow("other provider") << u"-"_qs << u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%FILE%"_qs
                                        << u"Provider not supported: 'Microsoft.Jet.OLEDB.4.0'"_qs;
        QTest::newRow("password") << u"-"_qs << u"Provider=SQLite;Data Source=%FILE%;Password=girasole"_qs
                                  << u"key not supported: 'Password'"_qs;
        QTest::newRow("no provider") << u"-"_qs << u"Data Source=%FILE%"_qs << u"names no provider"_qs;
        QTest::newRow("no data source") << u"-"_qs << u"Provider=SQLite"_qs << u"names no data source"_qs;
        QTest::newRow("empty string") << u"-"_qs << QString() << u"Empty connection string"_qs;
        QTest::newRow("garbage") << u"-"_qs << u"Provider=SQLite;nonsense"_qs << u"not understood: 'nonsense'"_qs;
        QTest::newRow("open quote") << u"-"_qs << u"Provider=SQLite;Data Source='%FILE%"_qs << u"Unterminated quote"_qs;
    }

    void openRefusesWhatIsNotARideDatabase()
    {
        QFETCH(QString, content);
        QFETCH(QString, connectionString);
        QFETCH(QString, expected);

        const bool locked = content == u"locked";
        const QString path = locked ? m_path : m_dir.filePath(QString::fromUtf8(QTest::currentDataTag()) + u".mdb"_qs);
        QFile file(path);
        if (content == u"/")
            QVERIFY(QDir().mkpath(path));
        else if (content != u"-" && !locked)
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content.toUtf8()) == content.toUtf8().size());
        file.close();
        std::optional<DatabaseHolder::InProcess> holder;
        if (locked)
            QVERIFY(holder.emplace(path, u"exclusive"_qs).Holds());

        TZTConnection connection;
        connection.SetBusyTimeout(100);
        connectionString.replace(u"%FILE%"_qs, path);
        const std::optional<Failure> failure = FailureOf([&] { connection.Open(connectionString); });
        holder.reset();
        QVERIFY(failure);
        const QString message = failure->message;
        // What callers tell apart: another's lock, and a sound file without the ride tables.
        const Exception::Why why = locked              ? Exception::Why::Busy
                                   : content.isEmpty() ? Exception::Why::OtherShape
                                                       : Exception::Why::Failed;
        QCOMPARE(int(failure->why), int(why));
        // A busy database is led by the rider's words.
        QVERIFY2(message.startsWith((locked ? u"database in uso da un altro programma. "_qs : QString())
                                    + u"ZTADO exception: TZTConnection::Open: "_qs)
                     && message.contains(expected),
                 qPrintable(message));
        QVERIFY(!connection.IsOpen());
        if (content == u"-")
            QVERIFY2(!QFile::exists(path), "opening must never create the database");
        // The failed connection stays usable.
        connection.Open(TestDatabase::ConnectionStringFor(m_path));
        QVERIFY(connection.IsOpen());
    }

    void closedConnectionFailsTheRecordsetUntilReopened()
    {
        TZTConnection().Close(); // never opened
        const int id = Add(Day(2005, 3, 1), 10.0);
        TZTRecordset rs(m_connection.get());
        rs.Open(Sql::AllRidesByKey());
        m_connection->Close();
        m_connection->Close();
        QVERIFY(!m_connection->IsOpen());
        QCOMPARE(ErrorOf([&] { rs.GetFieldAsDouble(u"KM"_qs); }),
                 u"ZTADO exception: TZTRecordset::GetFieldAsDouble[KM]: "
                 "Operation is not allowed when the object is closed"_qs);
        rs.Close();
        QVERIFY(ErrorOf([&] { rs.Open(Sql::AllRidesByKey()); })
                    .startsWith(u"ZTADO exception: TZTRecordset::Open: "_qs));
        m_connection->Open(TestDatabase::ConnectionStringFor(m_path));
        QCOMPARE(Keys(Sql::AllRidesByKey()), QList<int>{id});
        QVERIFY(ErrorOf([&] { m_connection->Open(TestDatabase::ConnectionStringFor(m_path)); })
                    .contains(u"when the object is open"_qs));
    }

    // After a busy database, a failure of another kind is told by its own reason alone.
    void failureTextsCarryOnlyTheirOwnReasons()
    {
        m_connection->SetBusyTimeout(50);
        const auto busy = [&] {
            const DatabaseHolder::InProcess holder(m_path, u"exclusive"_qs);
            return ErrorOf([&] { m_connection->Execute(u"DELETE FROM Uscite"_qs); });
        };
        QCOMPARE(busy(), u"database in uso da un altro programma. "
                         "ZTADO exception: TZTConnection::Execute: database is locked"_qs);
        QCOMPARE(ErrorOf([&] { m_connection->Execute(u"DELETE FROM Nowhere"_qs); }),
                 u"ZTADO exception: TZTConnection::Execute: no such table: Nowhere"_qs);
        busy();
        TZTRecordset rs(m_connection.get());
        QCOMPARE(ErrorOf([&] { rs.Open(u"SELECT * FROM Nowhere"_qs); }),
                 u"ZTADO exception: TZTRecordset::Open: no such table: Nowhere"_qs);
    }

    void failuresTheRiderCanActOnAreNamed_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QString>("expected"); // the start of the message
        QTest::newRow("disk full while adding") << u"full"_qs << u"disco pieno. ZTADO exception: TZTRecordset::Update: "_qs;
        QTest::newRow("copy into a missing folder")
            << u"missing folder"_qs << u"impossibile aprire il file. ZTADO exception: TZTConnection::BackupTo: "_qs;
        QTest::newRow("a database not ours") << u"no permission"_qs
                                             << u"permesso negato. ZTADO exception: TZTConnection::Open: "_qs;
    }

    void failuresTheRiderCanActOnAreNamed()
    {
        QFETCH(QString, failure);
        QFETCH(QString, expected);
        QString message;
        if (failure == u"full") {
            // No page beyond those the file has: as a disk with no room left.
            m_connection->Execute(u"PRAGMA max_page_count = "_qs + Stored(u"PRAGMA page_count"_qs));
            for (int i = 0; i < 1000 && message.isNull(); ++i)
                message = ErrorOf([&] { Add(Day(2005, 3, 1), 10.0, 0, QString(200, u'x')); });
        } else if (failure == u"missing folder") {
            message = ErrorOf([&] { m_connection->BackupTo(m_dir.filePath(u"nowhere/copy.mdb"_qs)); });
        } else {
            QVERIFY(QFile::setPermissions(m_path, {}));
            const WithoutRootOverride asUser;
            message = ErrorOf([&] { TZTConnection().Open(TestDatabase::ConnectionStringFor(m_path)); });
        }
        QVERIFY2(message.startsWith(expected), qPrintable(message));
    }

    void executeRunsOneStatement()
    {
        const int id = Add(Day(2005, 3, 1), 10.0);
        m_connection->Execute(u"SELECT * FROM Uscite"_qs); // rows are discarded
        m_connection->Execute(Sql::DeleteRide(id));
        QCOMPARE(Stored(u"SELECT count(*) FROM Uscite"_qs), u"0"_qs);

        QVERIFY(ErrorOf([&] { m_connection->Execute(u"DELETE FROM Nowhere"_qs); })
                    .startsWith(u"ZTADO exception: TZTConnection::Execute: no such table: Nowhere"_qs));
        QVERIFY(ErrorOf([&] { m_connection->Execute(u"DELETE FROM Uscite; DROP TABLE Uscite"_qs); })
                    .contains(u"Only one statement"_qs));
        QCOMPARE(Stored(u"SELECT count(*) FROM sqlite_master WHERE name = 'Uscite'"_qs), u"1"_qs);

        const int kept = Add(Day(2005, 3, 2), 12.0);
        TZTConnection reader;
        reader.Open(TestDatabase::ConnectionStringFor(m_path), TZTConnection::Access::ReadOnly);
        reader.Execute(u"SELECT * FROM Uscite"_qs);
        QVERIFY(ErrorOf([&] { reader.Execute(Sql::DeleteRide(kept)); })
                    .startsWith(u"database in sola lettura. ZTADO exception: TZTConnection::Execute: "_qs));
        QCOMPARE(Keys(Sql::AllRidesByKey()), QList<int>{kept});
    }

    void cursorStates()
    {
        TZTRecordset rs(m_connection.get());
        rs.Close(); // never opened
        QVERIFY(ErrorOf([&] { rs.Eof(); }).startsWith(u"ZTADO exception: TZTRecordset::Eof: "_qs));

        rs.Open(Sql::MonthRides(2005, 3));
        QVERIFY(rs.Eof());
        QVERIFY(ErrorOf([&] { rs.MoveNext(); }).startsWith(u"ZTADO exception: TZTRecordset::MoveNext: "_qs));
        QCOMPARE(ErrorOf([&] { rs.Open(Sql::RideTypes()); }),
                 u"ZTADO exception: TZTRecordset::Open: Operation is not allowed when the object is open"_qs);
        rs.Close();
        rs.Close();

        rs.Open(Sql::RideTypes());
        QStringList names;
        for (; !rs.Eof(); rs.MoveNext())
            names.append(rs.GetFieldAsString(u"descrizione"_qs)); // names match without regard to case
        rs.Close();
        QCOMPARE(names.join(u','), Stored(u"SELECT group_concat(Descrizione) FROM TipiUscita"_qs));

        QVERIFY(ErrorOf([&] { rs.Open(u"SELECT * FROM Nowhere"_qs); })
                    .startsWith(u"ZTADO exception: TZTRecordset::Open: no such table: Nowhere"_qs));
        rs.Open(Sql::RideTypes()); // a failed Open leaves it closed and reusable
        QVERIFY(!rs.Eof());
    }

    void fieldReads()
    {
        QCOMPARE(TestDatabase::Exec(m_path, u"INSERT INTO Uscite (IDTipoUscita, Data, KM) "
                                            "VALUES (1, '2005-03-01', 5)"_qs),
                 QString());
        TZTRecordset rs(m_connection.get());
        rs.Open(Sql::AllRidesByKey());
        // NULL reads as zero.
        QCOMPARE(rs.GetFieldAsString(u"Descrizione"_qs), QString());
        QCOMPARE(rs.GetFieldAsInteger(u"Note"_qs), 0);
        QCOMPARE(rs.GetFieldAsDouble(u"Durata"_qs), 0.0);
        QCOMPARE(rs.GetFieldAsDateTime(u"Durata"_qs).Val(), 0.0);
        // So does a value that does not convert.
        QCOMPARE(rs.GetFieldAsInteger(u"Data"_qs), int(Day(2005, 3, 1).Val()));
        // Unknown fields and missing rows are named.
        const QString prefix = u"ZTADO exception: TZTRecordset::"_qs;
        QVERIFY(ErrorOf([&] { rs.GetFieldAsInteger(u"Nome"_qs); })
                    .startsWith(prefix + u"GetFieldAsInteger[Nome]: Item cannot be found"_qs));
        QVERIFY(ErrorOf([&] { rs.SetField(u"Nome"_qs, 1); })
                    .startsWith(prefix + u"SetField[Nome]: Item cannot be found"_qs));
        rs.Close();
        rs.Open(Sql::MonthRides(2006, 3));
        QVERIFY(ErrorOf([&] { rs.GetFieldAsDateTime(u"Data"_qs); })
                    .startsWith(prefix + u"GetFieldAsDateTime[Data]: Either BOF or EOF"_qs));
    }


    // Names built afresh for each read, freed and made again at the same
    // addresses, in changing orders and cases, still find their own columns.
    void fieldsFoundByNamesMadeForEachRead()
    {
        QCOMPARE(TestDatabase::Exec(m_path, u"INSERT INTO Uscite (IDTipoUscita, Data, KM, Descrizione) "
                                            "VALUES (2, '2005-03-01', 5.5, 'giro')"_qs),
                 QString());
        TZTRecordset rs(m_connection.get());
        rs.Open(Sql::AllRidesByKey());
        const char* const names[] = {"KM", "Descrizione", "IDTipoUscita", "km", "Descrizione", "KM", "IDTIPOUSCITA"};
        for (int round = 0; round < 3; ++round) {
            for (const char* name : names) {
                const QString fresh = QString::fromLatin1(name);
                const QString text = rs.GetFieldAsString(fresh);
                if (fresh.compare(u"KM"_qs, Qt::CaseInsensitive) == 0)
                    QCOMPARE(text.toDouble(), 5.5);
                else if (fresh == u"Descrizione"_qs)
                    QCOMPARE(text, u"giro"_qs);
                else
                    QCOMPARE(text, u"2"_qs);
            }
        }
        // The same strings find their columns again in the next query, wherever they stand there.
        const QString description = u"Descrizione"_qs, km = u"KM"_qs;
        for (const QString& sql : {Sql::AllRidesByKey(), u"SELECT KM, Descrizione FROM Uscite"_qs}) {
            rs.Close();
            rs.Open(sql);
            QCOMPARE(rs.GetFieldAsString(description), u"giro"_qs);
            QCOMPARE(rs.GetFieldAsDouble(km), 5.5);
        }
    }
    void appendedRowsGetNewKeys()
    {
        TZTRecordset rs(m_connection.get());
        rs.OpenForAppend(u"Uscite"_qs);
        rs.AddNew();
        rs.SetField(u"Data"_qs, Day(2005, 3, 1));
        rs.SetField(u"IDTipoUscita"_qs, 2);
        rs.SetField(u"KM"_qs, 42.5);
        QCOMPARE(Stored(u"SELECT count(*) FROM Uscite"_qs), u"0"_qs); // nothing stored before Update
        rs.Update();
        // The stored row stays current, with its key.
        const int first = rs.GetFieldAsInteger(u"IDUscita"_qs);
        QCOMPARE(Stored(u"SELECT IDUscita || '|' || KM || '|' || IDTipoUscita || '|' || Data FROM Uscite"_qs),
                 QString::number(first) + u"|42.5|2|2005-03-01"_qs);
        rs.Close();

        // A deleted ride's key is never given again.
        const int second = Add(Day(2005, 3, 1), 20.0);
        QVERIFY(second > first);
        m_connection->Execute(Sql::DeleteRide(second));
        QVERIFY(Add(Day(2005, 3, 1), 30.0) > second);
    }

    void valuesAreStoredInTheirDocumentedForm()
    {
        const TDateTime duration = TDateTime::EncodeTime(1, 35, 7);
        const TDateTime halfSecond(0.5 / TDateTime::SecsPerDay);
        // Text is bound, never pasted into the statement.
        const QString text = u"Città d'arte'); DROP TABLE Uscite; -- «àèù» 100%"_qs;
        const int a = Add(Day(2005, 2, 6), 27.4, 1, text, duration);
        const int b = Add(Day(2005, 2, 6), 0.0, 0, QString(), halfSecond);
        QCOMPARE(Stored(QStringLiteral("SELECT Data || ' ' || Durata FROM Uscite WHERE IDUscita = %1").arg(a)),
                 u"2005-02-06 01:35:07"_qs);
        QCOMPARE(Stored(QStringLiteral("SELECT Durata FROM Uscite WHERE IDUscita = %1").arg(b)), u"00:00:00.500"_qs);

        TZTRecordset rs(m_connection.get());
        rs.Open(Sql::RideById(a));
        QCOMPARE(rs.GetFieldAsDateTime(u"Data"_qs), Day(2005, 2, 6));
        QCOMPARE(rs.GetFieldAsDateTime(u"Durata"_qs).Val(), duration.Val());
        QCOMPARE(rs.GetFieldAsDouble(u"KM"_qs), 27.4);
        QCOMPARE(rs.GetFieldAsInteger(u"IDTipoUscita"_qs), 1);
        QCOMPARE(rs.GetFieldAsString(u"Descrizione"_qs), text);
        rs.Close();
        rs.Open(Sql::RideById(b));
        QCOMPARE(rs.GetFieldAsDateTime(u"Durata"_qs).Val(), halfSecond.Val());
    }

    void dateTimesRoundTrip_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text"); // as the Data column holds it
        QTest::addColumn<double>("readBack");
        const double year5 = Day(5, 1, 1).Val(), lastSecond = 86399.0 / TDateTime::SecsPerDay;
        QTest::newRow("-1.25") << -1.25 << u"1899-12-29 06:00:00"_qs << -1.25;
        QTest::newRow("-1.5") << -1.5 << u"1899-12-29 12:00:00"_qs << -1.5;
        QTest::newRow("last second before day 0") << -1 - lastSecond << u"1899-12-29 23:59:59"_qs << -1 - lastSecond;
        QTest::newRow("-0.25 is day 0") << -0.25 << u"1899-12-30 06:00:00"_qs << 0.25;
        QTest::newRow("half a ms to midnight") << 38389.99999999537 << u"2005-02-07"_qs << 38390.0;
        QTest::newRow("year 5") << year5 << u"0005-01-01"_qs << year5;
        QTest::newRow("year 5 at 18:00") << year5 - 0.75 << u"0005-01-01 18:00:00"_qs << year5 - 0.75;
    }

    void dateTimesRoundTrip()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QFETCH(double, readBack);
        QCOMPARE(QString::fromLatin1(FieldValue::DateText(TDateTime(value))), text);
        TDateTime parsed;
        QVERIFY(FieldValue::ParseDateTimeText(text.toLatin1().constData(), text.size(), parsed));
        QCOMPARE(parsed.Val(), readBack);

        const int id = Add(TDateTime(value), 1.0);
        QCOMPARE(Stored(QStringLiteral("SELECT Data FROM Uscite WHERE IDUscita = %1").arg(id)), text);
        TZTRecordset rs(m_connection.get());
        rs.Open(Sql::RideById(id));
        QCOMPARE(rs.GetFieldAsDateTime(u"Data"_qs).Val(), readBack);
    }

    void oddStoredDurationsRead_data()
    {
        QTest::addColumn<QString>("stored"); // an SQL literal, as another tool may write it
        QTest::addColumn<double>("dateTime");
        QTest::addColumn<double>("number");
        QTest::newRow("REAL inf") << u"9e999"_qs << 0.0 << qInf();
        QTest::newRow("REAL -inf") << u"-9e999"_qs << 0.0 << -qInf();
        QTest::newRow("REAL 1e300") << u"1e300"_qs << 0.0 << 1e300;
        QTest::newRow("text inf") << u"'inf'"_qs << 0.0 << 0.0;
        QTest::newRow("text nan") << u"'nan'"_qs << 0.0 << 0.0;
        QTest::newRow("text 25:30:00") << u"'25:30:00'"_qs << 1.0625 << 1.0625;
    }

    void oddStoredDurationsRead()
    {
        QFETCH(QString, stored);
        QFETCH(double, dateTime);
        QFETCH(double, number);
        QCOMPARE(TestDatabase::Exec(m_path, u"INSERT INTO Uscite (IDTipoUscita, Data, KM, Durata) "
                                            "VALUES (0, '2005-03-01', 5, %1)"_qs.arg(stored)),
                 QString());
        TZTRecordset rs(m_connection.get());
        rs.Open(Sql::AllRidesByKey());
        // A number that is no date-time reads as the zero date-time.
        QCOMPARE(rs.GetFieldAsDateTime(u"Durata"_qs).Val(), dateTime);
        QCOMPARE(rs.GetFieldAsDouble(u"Durata"_qs), number);
    }

    void nonFiniteValues_data()
    {
        QTest::addColumn<double>("value");
        for (const double value : {qQNaN(), qInf(), -qInf()})
            QTest::addRow("%g", value) << value;
    }

    void nonFiniteValues()
    {
        QFETCH(double, value);
        QVERIFY(FieldValue::DateText(TDateTime(value)).isEmpty());
        QVERIFY(FieldValue::TimeText(TDateTime(value)).isEmpty());
        // Refused by a date, a time and a number column alike.
        TZTRecordset rs(m_connection.get());
        rs.OpenForAppend(u"Uscite"_qs);
        rs.AddNew();
        for (const QString& field : {u"Data"_qs, u"Durata"_qs, u"KM"_qs})
            QVERIFY(ErrorOf([&] { rs.SetField(field, TDateTime(value)); })
                        .startsWith(u"ZTADO exception: TZTRecordset::SetField[%1]: Type mismatch"_qs.arg(field)));
    }

    void refusedWritesLeaveTheRecordsetReusable_data()
    {
        QTest::addColumn<QString>("sql"); // empty: a ride is added; otherwise its one row is changed
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("bad");
        QTest::addColumn<QString>("good");
        QTest::addColumn<QString>("expected");
        const QString add;
        QTest::newRow("text too long") << add << u"Descrizione"_qs << QString(256, u'x') << QString(255, u'x')
                                       << u"SetField[Descrizione]: The text is too long"_qs;
        QTest::newRow("not a number") << add << u"KM"_qs << u"tanti"_qs << u"12.5"_qs
                                      << u"SetField[KM]: Type mismatch"_qs;
        QTest::newRow("unknown type") << add << u"IDTipoUscita"_qs << u"99"_qs << u"5"_qs
                                      << u"Update: FOREIGN KEY constraint failed"_qs;
        QTest::newRow("empty type name") << u"SELECT * FROM TipiUscita WHERE IDTipoUscita = 3"_qs << u"Descrizione"_qs
                                         << u""_qs << u"Città alta"_qs << u"Update: CHECK constraint failed"_qs;
    }

    void refusedWritesLeaveTheRecordsetReusable()
    {
        QFETCH(QString, sql);
        QFETCH(QString, field);
        QFETCH(QString, bad);
        QFETCH(QString, good);
        QFETCH(QString, expected);
        const bool adding = sql.isEmpty();
        const QString stored =
            QStringLiteral("SELECT group_concat(%1) FROM %2").arg(field, adding ? u"Uscite" : u"TipiUscita");
        const QString before = Stored(stored);
        TZTRecordset rs(m_connection.get());
        if (adding)
            rs.OpenForAppend(u"Uscite"_qs);
        else
            rs.Open(sql);
        const auto write = [&](const QString& value) {
            if (adding) {
                rs.AddNew();
                rs.SetField(u"Data"_qs, Day(2005, 3, 1));
                rs.SetField(u"IDTipoUscita"_qs, 0);
                rs.SetField(u"KM"_qs, 1.0);
            }
            rs.SetField(field, value);
            rs.Update();
        };
        const QString message = ErrorOf([&] { write(bad); });
        QVERIFY2(message.startsWith(u"ZTADO exception: TZTRecordset::"_qs + expected), qPrintable(message));
        QCOMPARE(Stored(stored), before);
        // The same recordset, still open, then stores a good value.
        const QString error = ErrorOf([&] { write(good); });
        QVERIFY2(error.isNull(), qPrintable(error));
        QCOMPARE(rs.GetFieldAsString(field), good);
        QCOMPARE(Stored(stored).count(good), 1);
    }

    void editChangesTheRowInPlaceUnlessDeleted()
    {
        const int id = Add(Day(2005, 3, 1), 10.0, 0, u"prima"_qs);
        Add(Day(2005, 3, 2), 20.0);
        TZTRecordset rs(m_connection.get());
        rs.Open(Sql::RideById(id));
        rs.Edit();
        rs.SetField(u"Data"_qs, Day(2005, 4, 2));
        rs.SetField(u"KM"_qs, 55.5);
        rs.SetField(u"Descrizione"_qs, u"dopo"_qs);
        QCOMPARE(rs.GetFieldAsDouble(u"KM"_qs), 55.5); // the pending value reads back
        rs.Update();
        QCOMPARE(rs.GetFieldAsInteger(u"IDUscita"_qs), id);
        rs.Close();
        QCOMPARE(Stored(u"SELECT group_concat(Data || '|' || KM || '|' || ifnull(Descrizione, '')) FROM Uscite"_qs),
                 u"2005-04-02|55.5|dopo,2005-03-02|20.0|"_qs);

        // An edit of a row deleted meanwhile, before its first change or after it, fails and stores nothing.
        for (const bool changedFirst : {false, true}) {
            const int gone = Add(Day(2005, 3, 3), 30.0);
            rs.Open(Sql::RideById(gone));
            const QString message = ErrorOf([&] {
                rs.Edit();
                if (changedFirst)
                    rs.SetField(u"KM"_qs, 12.0);
                m_connection->Execute(Sql::DeleteRide(gone));
                rs.SetField(u"Descrizione"_qs, u"mai"_qs);
                rs.Update();
            });
            QVERIFY2(message.startsWith(u"ZTADO exception: TZTRecordset::"_qs) && message.contains(u"deleted"_qs),
                     qPrintable(message));
            rs.Close();
        }
        QCOMPARE(Stored(u"SELECT group_concat(KM) FROM Uscite"_qs), u"55.5,20.0"_qs);
    }

    void monthAndPeriodQueriesSelectInOrder()
    {
        const int lastOfFebruary = Add(Day(2005, 2, 28), 1.0);
        const int late = Add(Day(2005, 3, 31), 2.0);
        const int sameDayFirst = Add(Day(2005, 3, 1), 3.0);
        const int sameDaySecond = Add(Day(2005, 3, 1), 4.0);
        Add(Day(2005, 4, 1), 5.0);
        Add(Day(2004, 3, 15), 6.0);
        const int december = Add(Day(2005, 12, 31), 7.0);
        QCOMPARE(Keys(Sql::MonthRides(2005, 3)), (QList<int>{sameDayFirst, sameDaySecond, late}));
        QCOMPARE(Keys(Sql::MonthRides(2005, 12)), QList<int>{december});
        QVERIFY(Keys(Sql::MonthRides(2006, 1)).isEmpty());
        // A period includes both its days.
        QCOMPARE(Keys(Sql::RidesByDate(Day(2005, 2, 28), Day(2005, 3, 31))),
                 (QList<int>{lastOfFebruary, sameDayFirst, sameDaySecond, late}));
        QCOMPARE(Keys(Sql::RidesByDate(Day(2005, 3, 31), Day(2005, 3, 31))), QList<int>{late});
    }

    void top10_data()
    {
        QTest::addColumn<QList<double>>("distances"); // one ride a day from 1 March 2005
        QTest::addColumn<QList<double>>("expected");
        QTest::newRow("twelve") << QList<double>{5, 80, 12, 45, 90, 33, 7, 60, 21, 75, 18, 50}
                                << QList<double>{90, 80, 75, 60, 50, 45, 33, 21, 18, 12};
        QTest::newRow("eight") << QList<double>{5, 80, 12, 45, 90, 33, 7, 60}
                               << QList<double>{90, 80, 60, 45, 33, 12, 7, 5};
        QTest::newRow("tie at tenth") << QList<double>{10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 9}
                                      << QList<double>(11, 10);
    }

    void top10()
    {
        QFETCH(QList<double>, distances);
        QFETCH(QList<double>, expected);
        Add(Day(2005, 2, 28), 500.0); // outside the period
        for (qsizetype i = 0; i < distances.size(); ++i)
            Add(TDateTime(Day(2005, 3, 1).Val() + double(i)), distances[i]);
        TZTRecordset rs(m_connection.get());
        rs.Open(Sql::Top10(Day(2005, 3, 1), Day(2005, 3, 31)));
        QList<double> found;
        TDateTime previousDate;
        for (; !rs.Eof(); rs.MoveNext()) {
            found.append(rs.GetFieldAsDouble(u"KM"_qs));
            // Equal distances come by date.
            if (found.size() > 1 && found.back() == found[found.size() - 2])
                QVERIFY(rs.GetFieldAsDateTime(u"Data"_qs) > previousDate);
            previousDate = rs.GetFieldAsDateTime(u"Data"_qs);
        }
        QCOMPARE(found, expected);
    }

    void transactionStoresAllOrNothing_data()
    {
        // How the scope with the two writes ends: only a commit keeps them.
        QTest::addColumn<QString>("ending");
        QTest::newRow("committed") << u"commit"_qs;
        QTest::newRow("left without Commit") << u"leave"_qs;
        QTest::newRow("left by a failure") << u"throw"_qs;
        // A second ROLLBACK would fail, and leave its error on the connection.
        QTest::newRow("already rolled back by SQLite") << u"rollback"_qs;
        QTest::newRow("connection closed inside") << u"close"_qs;
    }

    void transactionStoresAllOrNothing()
    {
        QFETCH(QString, ending);
        const int stored = ending == u"commit" ? 2 : 0;
        QVERIFY(!TZTConnection().InTransaction());
        QVERIFY(!m_connection->InTransaction());
        bool inside = false;
        const QString error = ErrorOf([&] {
            Transaction transaction(*m_connection);
            inside = m_connection->InTransaction();
            Add(Day(2005, 3, 1), 10.0);
            Add(Day(2005, 3, 2), 20.0);
            if (ending == u"commit")
                transaction.Commit();
            else if (ending == u"throw")
                throw Exception(u"interrotto"_qs);
            else if (ending == u"rollback")
                m_connection->Execute(u"ROLLBACK"_qs);
            else if (ending == u"close")
                m_connection->Close();
        });
        QVERIFY(inside);
        QCOMPARE(error, ending == u"throw" ? u"interrotto"_qs : QString());
        QVERIFY(!m_connection->InTransaction());
        QCOMPARE(Stored(u"SELECT count(*) FROM Uscite"_qs), QString::number(stored));
        // The connection goes on to the next transaction.
        if (!m_connection->IsOpen())
            m_connection->Open(TestDatabase::ConnectionStringFor(m_path));
        Transaction next(*m_connection);
        Add(Day(2005, 3, 3), 30.0);
        next.Commit();
        QCOMPARE(Stored(u"SELECT count(*) FROM Uscite"_qs), QString::number(stored + 1));
    }

    void closeReleasesTheQuery_data()
    {
        QTest::addColumn<bool>("written"); // a row changed first, so write statements are held too
        QTest::newRow("read only") << false;
        QTest::newRow("after a write") << true;
    }

    void closeReleasesTheQuery()
    {
        QFETCH(bool, written);
        Add(Day(2005, 3, 1), 10.0);
        Add(Day(2005, 3, 2), 20.0);
        TZTRecordset rs(m_connection.get());
        rs.Open(Sql::AllRidesByKey());
        if (written) {
            rs.SetField(u"KM"_qs, 15.0);
            rs.Update();
        }
        // SQLite refuses to drop a table that a statement of the connection is reading.
        QVERIFY(ErrorOf([&] { m_connection->Execute(u"DROP TABLE Uscite"_qs); }).contains(u"locked"_qs));
        rs.Close();
        const QString error = ErrorOf([&] { m_connection->Execute(u"DROP TABLE Uscite"_qs); });
        QVERIFY2(error.isNull(), qPrintable(error));
    }

};

QTEST_GUILESS_MAIN(TestData)
#include "test_data.moc"
