#include "data/Rides.h"
#include "data/TZTConnection.h"
#include "support/Errors.h"
#include "support/FreshDatabase.h"
#include "util/Exception.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>

using Rides::Ride;

namespace Rides {

char* toString(const Ride& ride)
{
    const QString text = QStringLiteral("%1-%2-%3 type %4, %5 km, %6 days, \"%7\"")
                             .arg(ride.anno)
                             .arg(ride.mese)
                             .arg(ride.entry.giorno)
                             .arg(ride.entry.tipo)
                             .arg(ride.entry.chilometri)
                             .arg(ride.entry.tempo.Val())
                             .arg(ride.entry.testoDescrizione);
    return qstrdup(qPrintable(text));
}

}

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

Ride MakeRide(int anno, int mese, int giorno, int tipo, double km, TDateTime tempo = {},
              const QString& description = QString())
{
    return {anno, mese, {giorno, tipo, km, tempo, description}};
}

TDateTime Hms(int hours, int minutes, int seconds)
{
    return TDateTime::EncodeTime(hours, minutes, seconds);
}

}

Q_DECLARE_METATYPE(Rides::Ride)

class TestRides : public QObject, protected FreshDatabase
{
    Q_OBJECT

private:
    // Every column of a ride as the file holds it, NULL spelt out.
    QString Stored(int id) const
    {
        return TestDatabase::Scalar(
            m_path, QStringLiteral("SELECT Data || '|' || IDTipoUscita || '|' || KM || '|' || ifnull(Durata, 'NULL') "
                                   "|| '|' || ifnull(Descrizione, 'NULL') || '|' || ifnull(Note, 'NULL') "
                                   "FROM Uscite WHERE IDUscita = %1")
                        .arg(id));
    }

    QString AllStored() const
    {
        return TestDatabase::Scalar(m_path, u"SELECT group_concat(IDUscita || ':' || Data || ':' || KM || ':' || "
                                            "ifnull(Descrizione, ''), ';') FROM (SELECT * FROM Uscite ORDER BY IDUscita)"_qs);
    }

    int LastKey() const { return TestDatabase::Scalar(m_path, u"SELECT max(IDUscita) FROM Uscite"_qs).toInt(); }

    int Added(const Ride& ride)
    {
        Rides::Add(*m_connection, ride);
        return LastKey();
    }

private Q_SLOTS:
    void init() { QCOMPARE(RenewDatabase(), QString()); }

    void cleanup() { m_connection.reset(); }

    void addStoresTheRideAndReadGivesItBack_data()
    {
        QTest::addColumn<Ride>("ride");
        QTest::addColumn<QString>("stored"); // Data|IDTipoUscita|KM|Durata|Descrizione|Note
        QTest::newRow("with a duration") << MakeRide(2005, 3, 5, 2, 42.5, Hms(1, 5, 0), u"Giro del lago"_qs)
                                         << u"2005-03-05|2|42.5|01:05:00|Giro del lago|NULL"_qs;
        QTest::newRow("no duration, no description, no distance")
            << MakeRide(2005, 3, 1, 0, 0) << u"2005-03-01|0|0.0|00:00:00||NULL"_qs;
        QTest::newRow("quotes stored as given") << MakeRide(2004, 7, 14, 1, 0.5, Hms(0, 0, 1), u"d'estate \"100%\""_qs)
                                                << u"2004-07-14|1|0.5|00:00:01|d'estate \"100%\"|NULL"_qs;
        QTest::newRow("29 February, the last type, the longest")
            << MakeRide(2004, 2, 29, 5, 999, Hms(23, 59, 59), QString(255, u'x'))
            << u"2004-02-29|5|999.0|23:59:59|"_qs + QString(255, u'x') + u"|NULL"_qs;
    }

    void addStoresTheRideAndReadGivesItBack()
    {
        QFETCH(Ride, ride);
        QFETCH(QString, stored);
        QCOMPARE(TestDatabase::InsertRide(m_path, u"2001-01-01"_qs, 1.0), QString());
        const int before = LastKey();
        const int id = Added(ride);
        QCOMPARE(id, before + 1);
        QCOMPARE(Stored(id), stored);
        QCOMPARE(Rides::Read(*m_connection, id), ride);
    }

    void changeRewritesThatRideOnly_data()
    {
        QTest::addColumn<Ride>("changed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("every field") << MakeRide(2005, 3, 9, 4, 12.25, Hms(0, 45, 30), u"Rulli"_qs)
                                     << u"2005-03-09|4|12.25|00:45:30|Rulli|nota"_qs;
        QTest::newRow("to another month") << MakeRide(2004, 12, 31, 1, 20, Hms(1, 0, 0), u"Giro"_qs)
                                          << u"2004-12-31|1|20.0|01:00:00|Giro|nota"_qs;
        QTest::newRow("duration and description taken away")
            << MakeRide(2005, 3, 2, 1, 20) << u"2005-03-02|1|20.0|00:00:00||nota"_qs;
    }

    void changeRewritesThatRideOnly()
    {
        QFETCH(Ride, changed);
        QFETCH(QString, stored);
        const int id = Added(MakeRide(2005, 3, 2, 1, 20, Hms(1, 0, 0), u"Giro"_qs));
        QCOMPARE(TestDatabase::Exec(m_path, QStringLiteral("UPDATE Uscite SET Note = 'nota' WHERE IDUscita = %1").arg(id)),
                 QString());
        const int other = Added(MakeRide(2005, 3, 2, 0, 30, {}, u"altra"_qs));
        const QString otherBefore = Stored(other);

        Rides::Change(*m_connection, id, changed);
        QCOMPARE(Stored(id), stored);
        QCOMPARE(Rides::Read(*m_connection, id), changed);
        QCOMPARE(Stored(other), otherBefore);
    }

    void deleteRemovesThatRideOnly_data()
    {
        QTest::addColumn<int>("which"); // position among the three rides, -1 for a key no ride has
        QTest::addColumn<QString>("left");
        QTest::newRow("the first") << 0 << u"b,c"_qs;
        QTest::newRow("the middle one") << 1 << u"a,c"_qs;
        QTest::newRow("a ride that is not there") << -1 << u"a,b,c"_qs;
    }

    void deleteRemovesThatRideOnly()
    {
        QFETCH(int, which);
        QFETCH(QString, left);
        QList<int> keys;
        for (const QString& description : {u"a"_qs, u"b"_qs, u"c"_qs})
            keys.append(Added(MakeRide(2005, 3, 1, 0, 10, {}, description)));
        const int id = which < 0 ? keys.last() + 1 : keys.at(which);
        QCOMPARE(ErrorOf([&] { Rides::Delete(*m_connection, id); }), QString());
        QCOMPARE(TestDatabase::Scalar(m_path, u"SELECT group_concat(Descrizione) FROM Uscite ORDER BY IDUscita"_qs),
                 left);
    }

    void refusalsChangeNothing_data()
    {
        QTest::addColumn<QString>("operation"); // on a stored ride, or on a key no ride has ("... missing")
        QTest::addColumn<Ride>("ride");
        QTest::addColumn<QString>("error"); // how the message begins
        QTest::addColumn<QString>("reason"); // what it says after that, if anything in particular

        const QString update = u"ZTADO exception: TZTRecordset::Update: "_qs;
        const QString tooLong(256, u'x');
        QTest::newRow("add without a type") << u"add"_qs << MakeRide(2005, 3, 1, -1, 10) << update
                                            << u"FOREIGN KEY constraint failed"_qs;
        QTest::newRow("change to a type there is not") << u"change"_qs << MakeRide(2005, 3, 1, 6, 10) << update
                                                       << u"FOREIGN KEY constraint failed"_qs;
        QTest::newRow("add of 31 April") << u"add"_qs << MakeRide(2005, 4, 31, 0, 10) << u"EConvertError: "_qs
                                         << QString();
        QTest::newRow("a description longer than the column")
            << u"add"_qs << MakeRide(2005, 3, 1, 0, 10, {}, tooLong)
            << u"ZTADO exception: TZTRecordset::SetField[Descrizione]: "_qs << QString();
        // The first field written is the first refused: the date, type, km, description, duration order.
        QTest::newRow("add: distance before description")
            << u"add"_qs << MakeRide(2005, 3, 1, 0, NaN, {}, tooLong)
            << u"ZTADO exception: TZTRecordset::SetField[KM]: "_qs << QString();
        QTest::newRow("add: description before duration")
            << u"add"_qs << MakeRide(2005, 3, 1, 0, 10, TDateTime(NaN), tooLong)
            << u"ZTADO exception: TZTRecordset::SetField[Descrizione]: "_qs << QString();
        QTest::newRow("change: distance before description")
            << u"change"_qs << MakeRide(2005, 3, 1, 0, NaN, {}, tooLong)
            << u"ZTADO exception: TZTRecordset::SetField[KM]: "_qs << QString();
        QTest::newRow("change: the duration refused")
            << u"change"_qs << MakeRide(2005, 3, 1, 0, 10, TDateTime(NaN))
            << u"ZTADO exception: TZTRecordset::SetField[Durata]: "_qs << QString();
        QTest::newRow("change of a ride that is not there")
            << u"change missing"_qs << MakeRide(2005, 3, 1, 0, 10)
            << u"ZTADO exception: TZTRecordset::SetField[Data]: "_qs << QString();
        QTest::newRow("add on a closed connection")
            << u"add closed"_qs << MakeRide(2005, 3, 1, 0, 10)
            << u"ZTADO exception: TZTRecordset::Open: Operation is not allowed when the object is closed"_qs
            << QString();
        QTest::newRow("add while another connection holds the database")
            << u"add locked"_qs << MakeRide(2005, 3, 1, 0, 10)
            << u"database in uso da un altro programma. ZTADO exception: TZTRecordset::Open: "_qs
            << u"database is locked"_qs;
        QTest::newRow("read of a ride that is not there")
            << u"read missing"_qs << Ride() << u"ZTADO exception: TZTRecordset::GetFieldAsDateTime[Data]: "_qs
            << QString();
    }

    void refusalsChangeNothing()
    {
        QFETCH(QString, operation);
        QFETCH(Ride, ride);
        QFETCH(QString, error);
        QFETCH(QString, reason);
        const int stored = Added(MakeRide(2005, 3, 2, 1, 20, Hms(1, 0, 0), u"Giro"_qs));
        const int id = operation.endsWith(u" missing"_qs) ? stored + 1 : stored;
        const QString before = AllStored();

        if (operation.endsWith(u" closed"_qs))
            m_connection->Close();
        TZTConnection holder;
        if (operation.endsWith(u" locked"_qs)) {
            holder.Open(TestDatabase::ConnectionStringFor(m_path));
            holder.Execute(u"BEGIN EXCLUSIVE"_qs);
            m_connection->SetBusyTimeout(0);
        }
        const QString message = ErrorOf([&] {
            if (operation.startsWith(u"add"_qs))
                Rides::Add(*m_connection, ride);
            else if (operation.startsWith(u"change"_qs))
                Rides::Change(*m_connection, id, ride);
            else
                Rides::Read(*m_connection, id);
        }, /*markDateErrors=*/true);
        holder.Close();
        QVERIFY2(message.startsWith(error), qPrintable(message));
        QVERIFY2(message.mid(error.size()).startsWith(reason), qPrintable(message));
        QCOMPARE(AllStored(), before);
        if (!m_connection->IsOpen())
            m_connection->Open(TestDatabase::ConnectionStringFor(m_path));
        // Nothing is left half done: the connection takes the next ride.
        QCOMPARE(Added(MakeRide(2005, 3, 3, 0, 5)), stored + 1);
    }

    // Reads by date against the same rows selected in SQL, on rides of many a
    // day stored out of date order, their distances often equal.
    void readsGiveTheRowsOfTheirDays_data()
    {
        QTest::addColumn<QString>("read");
        QTest::addColumn<QDate>("start");
        QTest::addColumn<QDate>("end");
        QTest::newRow("a month") << u"month"_qs << QDate(2005, 3, 1) << QDate(2005, 3, 31);
        QTest::newRow("a period over a month's end") << u"period"_qs << QDate(2005, 2, 27) << QDate(2005, 3, 2);
        QTest::newRow("one day") << u"period"_qs << QDate(2005, 3, 15) << QDate(2005, 3, 15);
        QTest::newRow("the ten longest of a month") << u"longest"_qs << QDate(2005, 3, 1) << QDate(2005, 3, 31);
    }

    void readsGiveTheRowsOfTheirDays()
    {
        QFETCH(QString, read);
        QFETCH(QDate, start);
        QFETCH(QDate, end);
        QCOMPARE(TestDatabase::Exec(m_path, u"WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 119) "
                                            "INSERT INTO Uscite (IDTipoUscita, Data, KM, Descrizione) "
                                            "SELECT i % 6, date('2005-02-25', '+' || (i * 37 % 40) || ' days'), "
                                            "i * 13 % 7 * 10, 'giro ' || i FROM n"_qs),
                 QString());
        const QString order = read == u"longest"_qs ? u"KM DESC, Data, IDUscita LIMIT 10"_qs : u"Data, IDUscita"_qs;
        const QString expected = TestDatabase::Scalar(
            m_path, QStringLiteral("SELECT group_concat(IDUscita || '|' || Data || '|' || IDTipoUscita || '|' || "
                                   "CAST(KM AS INTEGER) || '|' || Descrizione, ';') FROM (SELECT * FROM Uscite "
                                   "WHERE Data BETWEEN '%1' AND '%2' ORDER BY %3)")
                        .arg(start.toString(Qt::ISODate), end.toString(Qt::ISODate), order));
        QStringList rows;
        const Rides::RowVisitor visit = [&](const Rides::Row& row) {
            rows << QStringLiteral("%1|%2|%3|%4|%5")
                        .arg(row.key)
                        .arg(row.date.ToQDate().toString(Qt::ISODate))
                        .arg(row.type)
                        .arg(int(row.km))
                        .arg(row.description);
        };
        const TDateTime first = TDateTime::FromQDate(start), last = TDateTime::FromQDate(end);
        if (read == u"month"_qs)
            Rides::ForEachInMonth(*m_connection, start.year(), start.month(), visit);
        else if (read == u"period"_qs)
            Rides::ForEachInPeriod(*m_connection, first, last, visit);
        else
            Rides::ForEachLongest(*m_connection, first, last, visit);
        QCOMPARE(rows.join(u';'), expected);
    }

    // Writes read nothing first: each takes the next key, which orders the rides of a day.
    void addsAndAppendsFollowOneAnotherByKey()
    {
        const int a = Added(MakeRide(2005, 3, 5, 0, 10, {}, u"a"_qs));
        {
            Rides::Appender appender(*m_connection);
            appender.AppendRide(MakeRide(2005, 3, 5, 1, 20, {}, u"b"_qs));
            appender.AppendOlderLogRide(MakeRide(2005, 3, 5, 2, 30, {}, u"c"_qs));
        }
        const int d = Added(MakeRide(2005, 3, 5, 3, 40, {}, u"d"_qs));
        Rides::Delete(*m_connection, d);
        const int e = Added(MakeRide(2005, 3, 5, 4, 50, {}, u"e"_qs));
        QStringList rides;
        Rides::ForEachInMonth(*m_connection, 2005, 3, [&](const Rides::Row& row) {
            rides << QStringLiteral("%1 %2").arg(row.key - a).arg(row.description);
        });
        QCOMPARE(rides, (QStringList{u"0 a"_qs, u"1 b"_qs, u"2 c"_qs, QStringLiteral("%1 e").arg(e - a)}));
        QVERIFY(e > d);
    }

    void appendStoresWhatTheOlderLogHas_data()
    {
        QTest::addColumn<Ride>("ride");
        QTest::addColumn<QString>("stored");
        QTest::newRow("a ride") << MakeRide(2004, 1, 5, 1, 45.5, {}, u"Giro del lago"_qs)
                                << u"2004-01-05|1|45.5|NULL|Giro del lago|"_qs;
        QTest::newRow("its duration is not written") << MakeRide(2004, 2, 29, 0, 120, Hms(2, 0, 0), QString())
                                                     << u"2004-02-29|0|120.0|NULL||"_qs;
    }

    void appendStoresWhatTheOlderLogHas()
    {
        QFETCH(Ride, ride);
        QFETCH(QString, stored);
        {
            Rides::Appender appender(*m_connection);
            appender.AppendOlderLogRide(ride);
            appender.AppendOlderLogRide(ride);
        }
        const int last = LastKey();
        QCOMPARE((QStringList{Stored(last - 1), Stored(last)}), (QStringList{stored, stored}));
        QCOMPARE(TestDatabase::Scalar(m_path, u"SELECT count(*) FROM Uscite"_qs), u"2"_qs);
    }

    void appendStoresEachRideAsItComes_data()
    {
        QTest::addColumn<Ride>("refused");
        QTest::addColumn<QString>("error");
        QTest::newRow("a type there is not") << MakeRide(2004, 1, 6, 6, 10)
                                             << u"ZTADO exception: TZTRecordset::Update: FOREIGN KEY"_qs;
        // Type, date, description, then distance.
        QTest::newRow("description before distance")
            << MakeRide(2004, 1, 6, 0, NaN, {}, QString(256, u'x'))
            << u"ZTADO exception: TZTRecordset::SetField[Descrizione]: "_qs;
        QTest::newRow("a distance that is no number") << MakeRide(2004, 1, 6, 0, NaN)
                                                      << u"ZTADO exception: TZTRecordset::SetField[KM]: "_qs;
    }

    void appendStoresEachRideAsItComes()
    {
        QFETCH(Ride, refused);
        QFETCH(QString, error);
        const Ride first = MakeRide(2004, 1, 5, 0, 10, {}, u"prima"_qs);
        QString message;
        {
            Rides::Appender appender(*m_connection);
            appender.AppendOlderLogRide(first);
            message = ErrorOf([&] { appender.AppendOlderLogRide(refused); });
        }
        QVERIFY2(message.startsWith(error), qPrintable(message));
        QCOMPARE(TestDatabase::Scalar(m_path, u"SELECT group_concat(Descrizione) FROM Uscite"_qs), u"prima"_qs);
    }
};

QTEST_MAIN(TestRides)
#include "test_rides.moc"
