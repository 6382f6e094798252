#include "data/MonthRides.h"
#include "data/TZTConnection.h"
#include "support/Files.h"
#include "support/ItalianLocale.h"
#include "support/TestDatabase.h"
#include "util/Exception.h"

#include <QTemporaryDir>
#include <QtTest>

class TestMonth : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_path;
    int m_count = 0;

    void Insert(const QString& date, double km, const QString& duration = QString(), int type = 0,
                const QString& description = QString())
    {
        QCOMPARE(TestDatabase::InsertRide(m_path, date, km, type, description, duration), QString());
    }

    MonthRides Load(int year, int month)
    {
        TZTConnection connection;
        connection.Open(TestDatabase::ConnectionStringFor(m_path));
        return MonthRides::Load(connection, year, month);
    }

private Q_SLOTS:
    void init();
    void rowTexts_data();
    void rowTexts();
    void summary_data();
    void summary();
    void sameDayRidesKeepTheirOrder();
    void dayTexts_data();
    void dayTexts();
    void typeIsNamedByItsKey_data();
    void typeIsNamedByItsKey();
    void rideWithAnUnknownTypeIsShownAndTheListGoesOn();
    void damagedPageFailsTheLoadWithItsMessage();
};

void TestMonth::init()
{
    QVERIFY(m_dir.isValid());
    m_path = m_dir.filePath(QStringLiteral("%1.mdb").arg(++m_count));
    QCOMPARE(TestDatabase::Create(m_path), QString());
}

void TestMonth::rowTexts_data()
{
    QTest::addColumn<double>("km");
    QTest::addColumn<QString>("duration"); // as stored; null for none
    QTest::addColumn<QString>("kmText");
    QTest::addColumn<QString>("durationText");
    QTest::addColumn<QString>("speedText");

    QTest::newRow("one hour") << 30.0 << u"01:00:00"_qs << u"30,0"_qs << u"1:00:00"_qs << u"30,0"_qs;
    QTest::newRow("180 km/h") << 30.0 << u"00:10:00"_qs << u"30,0"_qs << u"0:10:00"_qs << u"n/d"_qs;
    QTest::newRow("below 0.1 km/h") << 0.05 << u"01:00:00"_qs << u"0,1"_qs << u"1:00:00"_qs << u"n/d"_qs;
    QTest::newRow("exactly 0.1 km/h") << 0.1 << u"01:00:00"_qs << u"0,1"_qs << u"1:00:00"_qs << u"0,1"_qs;
    QTest::newRow("exactly 100 km/h") << 100.0 << u"01:00:00"_qs << u"100,0"_qs << u"1:00:00"_qs << u"100,0"_qs;
    QTest::newRow("no duration") << 42.5 << QString() << u"42,5"_qs << u"---"_qs << u"---"_qs;
    QTest::newRow("zero duration") << 42.5 << u"00:00:00"_qs << u"42,5"_qs << u"---"_qs << u"---"_qs;
    QTest::newRow("half a second") << 42.5 << u"00:00:00.500"_qs << u"42,5"_qs << u"---"_qs << u"---"_qs;
    QTest::newRow("one second") << 0.0 << u"00:00:01"_qs << u"0,0"_qs << u"0:00:01"_qs << u"n/d"_qs;
    QTest::newRow("a whole day") << 42.5 << u"24:00:00"_qs << u"42,5"_qs << u"---"_qs << u"---"_qs;
    QTest::newRow("a day but a tenth of a millisecond")
        << 42.5 << u"23:59:59.9999"_qs << u"42,5"_qs << u"---"_qs << u"---"_qs;
    QTest::newRow("not a number") << 42.5 << u"nan"_qs << u"42,5"_qs << u"---"_qs << u"---"_qs;
    QTest::newRow("long ride") << 1234.5 << u"23:59:59"_qs << u"1234,5"_qs << u"23:59:59"_qs << u"51,4"_qs;
    QTest::newRow("seconds count") << 27.4 << u"01:35:07"_qs << u"27,4"_qs << u"1:35:07"_qs << u"17,3"_qs;
}

void TestMonth::rowTexts()
{
    QFETCH(double, km);
    QFETCH(QString, duration);
    QFETCH(QString, kmText);
    QFETCH(QString, durationText);
    QFETCH(QString, speedText);
    Insert(u"2005-02-06"_qs, km, duration, 3, u"Città sul lago"_qs);
    const MonthRides month = Load(2005, 2);
    QCOMPARE(month.rows.size(), 1);
    const MonthRides::RowTexts row = month.Texts(0);
    QCOMPARE(row.number, u"1"_qs);
    QCOMPARE(row.day, u"Domenica 6"_qs);
    QCOMPARE(row.type, month.typeNames.at(3));
    QCOMPARE(row.km, kmText);
    QCOMPARE(row.duration, durationText);
    QCOMPARE(row.speed, speedText);
    QCOMPARE(row.description, u"Città sul lago"_qs);
}

void TestMonth::summary_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<QList<double>>("distances");
    QTest::addColumn<QStringList>("expected"); // KM, Uscite, KM/U, KM/G

    QTest::newRow("empty month") << 2005 << 3 << QList<double>{} << QStringList{u"0,0"_qs, u"0"_qs, u"n/d"_qs, u"0,00"_qs};
    QTest::newRow("30 days, 150 km") << 2005 << 4 << QList<double>{100, 50}
                                     << QStringList{u"150,0"_qs, u"2"_qs, u"75,00"_qs, u"5,00"_qs};
    QTest::newRow("leap February") << 2004 << 2 << QList<double>{29}
                                   << QStringList{u"29,0"_qs, u"1"_qs, u"29,00"_qs, u"1,00"_qs};
    QTest::newRow("common February") << 2005 << 2 << QList<double>{28}
                                     << QStringList{u"28,0"_qs, u"1"_qs, u"28,00"_qs, u"1,00"_qs};
    QTest::newRow("thirds") << 2005 << 1 << QList<double>{10, 10, 11.1}
                            << QStringList{u"31,1"_qs, u"3"_qs, u"10,37"_qs, u"1,00"_qs};
    QTest::newRow("no group separator") << 2005 << 12 << QList<double>{999, 999, 999}
                                        << QStringList{u"2997,0"_qs, u"3"_qs, u"999,00"_qs, u"96,68"_qs};
}

void TestMonth::summary()
{
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(QList<double>, distances);
    QFETCH(QStringList, expected);
    for (const double km : distances)
        Insert(QDate(year, month, 1).toString(Qt::ISODate), km);
    Insert(QDate(year, month, 1).addMonths(1).toString(Qt::ISODate), 500); // the next month does not count
    const MonthRides rides = Load(year, month);
    QVERIFY(rides.summary);
    QCOMPARE((QStringList{rides.summary->km, rides.summary->rides, rides.summary->kmPerRide, rides.summary->kmPerDay}),
             expected);
}

void TestMonth::sameDayRidesKeepTheirOrder()
{
    Insert(u"2005-03-10"_qs, 1, {}, 0, u"dopo"_qs);
    Insert(u"2005-03-02"_qs, 2, {}, 0, u"primo"_qs);
    Insert(u"2005-03-10"_qs, 3, {}, 0, u"ultimo"_qs);
    const MonthRides month = Load(2005, 3);
    QStringList order;
    for (qsizetype i = 0; i < month.rows.size(); ++i)
        order << month.Texts(i).number + u' ' + month.Texts(i).description;
    QCOMPARE(order, (QStringList{u"1 primo"_qs, u"2 dopo"_qs, u"3 ultimo"_qs}));
}

void TestMonth::dayTexts_data()
{
    QTest::addColumn<QStringList>("dates");
    QTest::addColumn<QStringList>("expected"); // in the list's order

    QTest::newRow("same day twice") << QStringList{u"2005-02-06"_qs, u"2005-02-06"_qs}
                                    << QStringList{u"Domenica 6"_qs, u"Domenica 6"_qs};
    QTest::newRow("next day") << QStringList{u"2005-02-07"_qs, u"2005-02-06"_qs, u"2005-02-07"_qs}
                              << QStringList{u"Domenica 6"_qs, u"Lunedì 7"_qs, u"Lunedì 7"_qs};
    QTest::newRow("same weekday a week later") << QStringList{u"2005-02-14"_qs, u"2005-02-07"_qs}
                                               << QStringList{u"Lunedì 7"_qs, u"Lunedì 14"_qs};
    QTest::newRow("same day of another month") << QStringList{u"2005-03-06"_qs}
                                               << QStringList{u"Domenica 6"_qs};
    QTest::newRow("first and last") << QStringList{u"2005-03-31"_qs, u"2005-03-01"_qs}
                                    << QStringList{u"Martedì 1"_qs, u"Giovedì 31"_qs};
}

void TestMonth::dayTexts()
{
    QFETCH(QStringList, dates);
    QFETCH(QStringList, expected);
    for (const QString& date : dates)
        Insert(date, 10);
    const int month = dates.first().mid(5, 2).toInt();
    QStringList days;
    const MonthRides rides = Load(2005, month);
    for (qsizetype i = 0; i < rides.rows.size(); ++i)
        days << rides.Texts(i).day;
    QCOMPARE(days, expected);
}

void TestMonth::typeIsNamedByItsKey_data()
{
    QTest::addColumn<QString>("change"); // to the types, before the ride is stored
    QTest::addColumn<QString>("expected");
    QTest::newRow("every type there") << QString() << u"Città"_qs;
    // A name's position in the list is its key, not its rank among the names.
    QTest::newRow("a type below it removed") << u"DELETE FROM TipiUscita WHERE IDTipoUscita = 2"_qs << u"Città"_qs;
}

void TestMonth::typeIsNamedByItsKey()
{
    QFETCH(QString, change);
    QFETCH(QString, expected);
    if (!change.isEmpty())
        QCOMPARE(TestDatabase::Exec(m_path, change), QString());
    Insert(u"2005-03-01"_qs, 10, {}, 3);
    const MonthRides month = Load(2005, 3);
    QCOMPARE(month.rows.size(), 1);
    QCOMPARE(month.Texts(0).type, expected);
}

void TestMonth::rideWithAnUnknownTypeIsShownAndTheListGoesOn()
{
    // Only a file made without the foreign key can hold such a ride.
    QCOMPARE(TestDatabase::Exec(m_path, u"PRAGMA foreign_keys = OFF; INSERT INTO Uscite (IDTipoUscita, Data, KM) "
                                         "VALUES (42, '2005-03-01', 10)"_qs),
             QString());
    Insert(u"2005-03-02"_qs, 20);
    const MonthRides month = Load(2005, 3);
    QCOMPARE(month.rows.size(), 2);
    QCOMPARE(month.Texts(0).type, QString());
    QCOMPARE(month.Texts(1).type, month.typeNames.at(0));
    QVERIFY(month.summary);
    QCOMPARE(month.summary->km, u"30,0"_qs);
}

void TestMonth::damagedPageFailsTheLoadWithItsMessage()
{
    // A month over many pages, so that a damaged one can lie behind the first rows read.
    QCOMPARE(TestDatabase::Exec(m_path, u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400) "
                                         "INSERT INTO Uscite (IDTipoUscita, Data, KM, Descrizione) SELECT i % 6, "
                                         "date('2005-03-01', '+' || (i % 31) || ' days'), i, printf('%.200c', 'x') "
                                         "FROM n"_qs),
             QString());
    const qsizetype whole = Load(2005, 3).rows.size();
    const QByteArray pristine = Bytes(m_path);
    const int pageSize = TestDatabase::Scalar(m_path, u"PRAGMA page_size"_qs).toInt();
    int midMonth = 0;
    for (qsizetype page = 1; page < pristine.size() / pageSize; ++page) { // the first holds the schema
        QVERIFY(WriteFile(m_path, QByteArray(pristine).replace(page * pageSize, pageSize, QByteArray(pageSize, '\xff'))));
        try {
            const MonthRides month = Load(2005, 3);
            QVERIFY2(month.summary && month.rows.size() == whole, qPrintable(QString::number(page)));
        } catch (const Exception& e) {
            midMonth += !e.Message().startsWith(u"ZTADO exception: TZTRecordset::Open"_qs);
        }
    }
    QVERIFY(midMonth > 0);
}

QTEST_GUILESS_MAIN(TestMonth)
#include "test_month.moc"
