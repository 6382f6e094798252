#include "data/Sql.h"
#include "data/TZTConnection.h"
#include "data/TZTRecordset.h"
#include "support/TestDatabase.h"
#include "util/Exception.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

namespace {

// The message of the exception `work` throws; a null string when it throws none.
template <typename Work>
QString ErrorOf(Work&& work)
{
    try {
        work();
    } catch (const Exception& e) {
        return e.Message();
    }
    return QString();
}

TDateTime Day(int y, int m, int d)
{
    return TDateTime::EncodeDate(y, m, d);
}

}

class TestData : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<TZTConnection> m_connection;

    // Appends a ride the way the add command does; returns its key.
    int Add(TDateTime date, double km, int type = 0, const QString& text = QString(), TDateTime duration = {})
    {
        TZTRecordset rs(m_connection.get());
        rs.Open(Sql::RideTable());
        rs.AddNew();
        rs.SetField(QStringLiteral("Data"), date);
        rs.SetField(QStringLiteral("IDTipoUscita"), type);
        rs.SetField(QStringLiteral("KM"), km);
        rs.SetField(QStringLiteral("Descrizione"), text);
        rs.SetField(QStringLiteral("Durata"), duration);
        rs.Update();
        const int id = rs.GetFieldAsInteger(QStringLiteral("IDUscita"));
        rs.Close();
        return id;
    }

    // The keys a query returns, in order.
    QList<int> Keys(const QString& sql, const QString& keyField = QStringLiteral("IDUscita"))
    {
        QList<int> keys;
        TZTRecordset rs(m_connection.get());
        rs.Open(sql);
        for (; !rs.Eof(); rs.MoveNext())
            keys.append(rs.GetFieldAsInteger(keyField));
        rs.Close();
        return keys;
    }

    QString Stored(const QString& sql) { return TestDatabase::Scalar(m_path, sql); }

private Q_SLOTS:
    void init();
    void cleanup();
    void openRefusesWhatIsNotARideDatabase_data();
    void openRefusesWhatIsNotARideDatabase();
    void openReportsALockedDatabase();
    void connectionReopensAfterClose();
    void exceptionTextShapes_data();
    void exceptionTextShapes();
    void executeRunsOneStatement();
    void cursorStates();
    void nullsReadAsZero();
    void unknownFieldsAndMissingRowsAreNamed_data();
    void unknownFieldsAndMissingRowsAreNamed();
    void appendedRowStaysCurrentWithItsKey();
    void keysAreNeverReused();
    void valuesAreStoredInTheirDocumentedForm();
    void textIsBoundNotPasted();
    void refusedWritesLeaveTheRecordsetReusable_data();
    void refusedWritesLeaveTheRecordsetReusable();
    void editChangesTheRowInPlace();
    void editOfADeletedRowFails();
    void monthQuerySelectsTheMonthInOrder();
    void periodQueryIncludesBothEnds();
    void top10_data();
    void top10();
    void closedConnectionFailsTheRecordset();
};

void TestData::init()
{
    QVERIFY(m_dir.isValid());
    m_path = m_dir.filePath(QStringLiteral("rides.mdb"));
    QFile::remove(m_path);
    QCOMPARE(TestDatabase::Create(m_path), QString());
    m_connection = std::make_unique<TZTConnection>();
    m_connection->Open(TestDatabase::ConnectionStringFor(m_path));
}

void TestData::cleanup()
{
    m_connection.reset();
}

void TestData::openRefusesWhatIsNotARideDatabase_data()
{
    QTest::addColumn<QString>("content"); // file to make; "-" for none, "/" for a folder
    QTest::addColumn<QString>("connectionString");
    QTest::addColumn<QString>("expected");

    const QString file = QStringLiteral("Provider=SQLite;Data Source=%FILE%");
    QTest::newRow("missing file") << u"-"_qs << file << u"Database file not found"_qs;
    QTest::newRow("folder") << u"/"_qs << file << u"Not a database file"_qs;
    QTest::newRow("text file") << u"just some text, long enough to be no database header at all........"_qs
                               << file << u"file is not a database"_qs;
    QTest::newRow("empty file") << QString() << file << u"Not a ride database"_qs;
    QTest::newRow("other tables") << u"sqlite"_qs << file << u"Not a ride database"_qs;
    QTest::newRow("other provider") << u"sqlite"_qs << u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%FILE%"_qs
                                    << u"Provider not supported: 'Microsoft.Jet.OLEDB.4.0'"_qs;
    QTest::newRow("password") << u"sqlite"_qs << u"Provider=SQLite;Data Source=%FILE%;Password=girasole"_qs
                              << u"key not supported: 'Password'"_qs;
    QTest::newRow("no provider") << u"sqlite"_qs << u"Data Source=%FILE%"_qs << u"names no provider"_qs;
    QTest::newRow("no data source") << u"sqlite"_qs << u"Provider=SQLite"_qs << u"names no data source"_qs;
    QTest::newRow("empty string") << u"sqlite"_qs << QString() << u"Empty connection string"_qs;
    QTest::newRow("garbage") << u"sqlite"_qs << u"Provider=SQLite;nonsense"_qs << u"not understood: 'nonsense'"_qs;
}

void TestData::openRefusesWhatIsNotARideDatabase()
{
    QFETCH(QString, content);
    QFETCH(QString, connectionString);
    QFETCH(QString, expected);

    const QString name = QString::fromUtf8(QTest::currentDataTag()) + u".mdb"_qs;
    const QString path = m_dir.filePath(name);
    if (content == u"/") {
        QVERIFY(QDir(m_dir.path()).mkpath(name));
    } else if (content == u"sqlite") {
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, "CREATE TABLE Other (x)", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    } else if (content != u"-") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content.toUtf8());
    }

    TZTConnection connection;
    const QString message = ErrorOf([&] { connection.Open(QString(connectionString).replace(u"%FILE%"_qs, path)); });
    QVERIFY2(message.startsWith(u"ZTADO exception: TZTConnection::Open: "_qs), qPrintable(message));
    QVERIFY2(message.contains(expected), qPrintable(message));
    QVERIFY(!connection.IsOpen());
    if (content == u"-")
        QVERIFY2(!QFile::exists(path), "opening must never create the database");
    // The failed connection stays usable.
    connection.Open(TestDatabase::ConnectionStringFor(m_path));
    QVERIFY(connection.IsOpen());
}

void TestData::openReportsALockedDatabase()
{
    sqlite3* holder = nullptr;
    QCOMPARE(sqlite3_open(m_path.toUtf8().constData(), &holder), SQLITE_OK);
    QCOMPARE(sqlite3_exec(holder, "PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE", nullptr, nullptr, nullptr),
             SQLITE_OK);
    TZTConnection connection;
    connection.SetBusyTimeout(100);
    const QString message = ErrorOf([&] { connection.Open(TestDatabase::ConnectionStringFor(m_path)); });
    sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    QVERIFY2(message.startsWith(u"ZTADO exception: TZTConnection::Open: database is locked"_qs), qPrintable(message));
    connection.Open(TestDatabase::ConnectionStringFor(m_path));
    QVERIFY(connection.IsOpen());
}

void TestData::connectionReopensAfterClose()
{
    TZTConnection never;
    never.Close();
    never.Close();
    const int id = Add(Day(2005, 3, 1), 10.0);
    m_connection->Close();
    m_connection->Close();
    QVERIFY(!m_connection->IsOpen());
    QVERIFY(ErrorOf([&] { m_connection->Open(TestDatabase::ConnectionStringFor(m_path)); }).isNull());
    QCOMPARE(Keys(Sql::AllRidesByKey()), QList<int>{id});
    QVERIFY(ErrorOf([&] { m_connection->Open(TestDatabase::ConnectionStringFor(m_path)); })
                .contains(u"when the object is open"_qs));
}

void TestData::exceptionTextShapes_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QStringList>("errors");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no descriptions") << u"TZTConnection::Open"_qs << QStringList()
                                     << u"ZTADO exception: TZTConnection::Open"_qs;
    QTest::newRow("two descriptions") << u"TZTRecordset::Open"_qs << QStringList{u"first"_qs, u"second"_qs}
                                      << u"ZTADO exception: TZTRecordset::Open: first; second"_qs;
    QTest::newRow("no operation") << QString() << QStringList{u"only"_qs} << u"ZTADO exception: : only"_qs;
    QTest::newRow("field") << u"TZTRecordset::GetFieldAsString[Descrizione]"_qs << QStringList{u"x"_qs}
                           << u"ZTADO exception: TZTRecordset::GetFieldAsString[Descrizione]: x"_qs;
}

void TestData::exceptionTextShapes()
{
    QFETCH(QString, operation);
    QFETCH(QStringList, errors);
    QFETCH(QString, expected);
    TZTConnection connection;
    connection.SetErrors(errors);
    QCOMPARE(ErrorOf([&] { RaiseADOException(operation, connection); }), expected);
}

void TestData::executeRunsOneStatement()
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
}

void TestData::cursorStates()
{
    TZTRecordset rs(m_connection.get());
    rs.Close(); // never opened
    QVERIFY(ErrorOf([&] { rs.Eof(); }).startsWith(u"ZTADO exception: TZTRecordset::Eof: "_qs));

    rs.Open(Sql::MonthRides(2005, 3));
    QVERIFY(rs.Eof());
    QVERIFY(ErrorOf([&] { rs.MoveNext(); }).startsWith(u"ZTADO exception: TZTRecordset::MoveNext: "_qs));
    QCOMPARE(ErrorOf([&] { rs.Open(Sql::RideTypeNames()); }),
             u"ZTADO exception: TZTRecordset::Open: Operation is not allowed when the object is open"_qs);
    rs.Close();
    rs.Close();

    rs.Open(Sql::RideTypeNames());
    QStringList names;
    for (; !rs.Eof(); rs.MoveNext())
        names.append(rs.GetFieldAsString(u"descrizione"_qs)); // names match without regard to case
    rs.Close();
    QVERIFY(names.size() >= 4 && names.size() <= 8);
    QCOMPARE(names.first(), Stored(u"SELECT Descrizione FROM TipiUscita WHERE IDTipoUscita = 0"_qs));

    QVERIFY(ErrorOf([&] { rs.Open(u"SELECT * FROM Nowhere"_qs); })
                .startsWith(u"ZTADO exception: TZTRecordset::Open: no such table: Nowhere"_qs));
    rs.Open(Sql::RideTypeNames()); // a failed Open leaves it closed and reusable
    QVERIFY(!rs.Eof());
}

void TestData::nullsReadAsZero()
{
    QCOMPARE(TestDatabase::Exec(m_path, u"INSERT INTO Uscite (IDTipoUscita, Data, KM) VALUES (1, '2005-03-01', 5)"_qs),
             QString());
    TZTRecordset rs(m_connection.get());
    rs.Open(Sql::AllRidesByKey());
    QCOMPARE(rs.GetFieldAsString(u"Descrizione"_qs), QString());
    QCOMPARE(rs.GetFieldAsString(u"Note"_qs), QString());
    QCOMPARE(rs.GetFieldAsInteger(u"Note"_qs), 0);
    QCOMPARE(rs.GetFieldAsDouble(u"Durata"_qs), 0.0);
    QCOMPARE(rs.GetFieldAsDateTime(u"Durata"_qs).Val(), 0.0);
    // A value that does not convert also reads as zero.
    QCOMPARE(rs.GetFieldAsInteger(u"Data"_qs), int(Day(2005, 3, 1).Val()));
}

void TestData::unknownFieldsAndMissingRowsAreNamed_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("reader");
    QTest::addColumn<QString>("expected");
    const QString month = Sql::MonthRides(2005, 3);
    const QString empty = Sql::MonthRides(2006, 3);
    QTest::newRow("string") << month << 0 << u"ZTADO exception: TZTRecordset::GetFieldAsString[Nome]: "_qs;
    QTest::newRow("integer") << month << 1 << u"ZTADO exception: TZTRecordset::GetFieldAsInteger[Nome]: "_qs;
    QTest::newRow("double") << month << 2 << u"ZTADO exception: TZTRecordset::GetFieldAsDouble[Nome]: "_qs;
    QTest::newRow("date") << month << 3 << u"ZTADO exception: TZTRecordset::GetFieldAsDateTime[Nome]: "_qs;
    QTest::newRow("set") << month << 4 << u"ZTADO exception: TZTRecordset::SetField[Nome]: "_qs;
    QTest::newRow("no row") << empty << 5 << u"ZTADO exception: TZTRecordset::GetFieldAsDouble[KM]: "_qs;
}

void TestData::unknownFieldsAndMissingRowsAreNamed()
{
    QFETCH(QString, sql);
    QFETCH(int, reader);
    QFETCH(QString, expected);
    Add(Day(2005, 3, 1), 10.0);
    TZTRecordset rs(m_connection.get());
    rs.Open(sql);
    const QString name = u"Nome"_qs;
    const QString message = ErrorOf([&] {
        switch (reader) {
        case 0: rs.GetFieldAsString(name); break;
        case 1: rs.GetFieldAsInteger(name); break;
        case 2: rs.GetFieldAsDouble(name); break;
        case 3: rs.GetFieldAsDateTime(name); break;
        case 4: rs.SetField(name, 1); break;
        default: rs.GetFieldAsDouble(u"KM"_qs); break;
        }
    });
    QVERIFY2(message.startsWith(expected) && message.size() > expected.size(), qPrintable(message));
}

void TestData::appendedRowStaysCurrentWithItsKey()
{
    TZTRecordset rs(m_connection.get());
    rs.Open(Sql::RideTable());
    rs.AddNew();
    rs.SetField(u"Data"_qs, Day(2005, 3, 1));
    rs.SetField(u"IDTipoUscita"_qs, 2);
    rs.SetField(u"KM"_qs, 42.5);
    QCOMPARE(Stored(u"SELECT count(*) FROM Uscite"_qs), u"0"_qs); // nothing stored before Update
    rs.Update();
    const int id = rs.GetFieldAsInteger(u"IDUscita"_qs);
    QCOMPARE(QString::number(id), Stored(u"SELECT max(IDUscita) FROM Uscite"_qs));
    QCOMPARE(rs.GetFieldAsDouble(u"KM"_qs), 42.5);
    QCOMPARE(rs.GetFieldAsString(u"Descrizione"_qs), QString()); // not set: NULL
    rs.Close();
    QCOMPARE(Stored(u"SELECT KM || '|' || IDTipoUscita || '|' || Data FROM Uscite"_qs), u"42.5|2|2005-03-01"_qs);
}

void TestData::keysAreNeverReused()
{
    const int first = Add(Day(2005, 3, 1), 10.0);
    const int second = Add(Day(2005, 3, 1), 20.0);
    QVERIFY(second > first);
    m_connection->Execute(Sql::DeleteRide(second));
    const int third = Add(Day(2005, 3, 1), 30.0);
    QVERIFY(third > second);
}

void TestData::valuesAreStoredInTheirDocumentedForm()
{
    const TDateTime duration = TDateTime::EncodeTime(1, 35, 7);
    const TDateTime halfSecond(0.5 / TDateTime::SecsPerDay);
    const int a = Add(Day(2005, 2, 6), 27.4, 1, u"Giro del lago"_qs, duration);
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
    rs.Close();
    rs.Open(Sql::RideById(b));
    QCOMPARE(rs.GetFieldAsDateTime(u"Durata"_qs).Val(), halfSecond.Val());
}

void TestData::textIsBoundNotPasted()
{
    const QString text = u"Città d'arte'); DROP TABLE Uscite; -- «àèù» 100%"_qs;
    const int id = Add(Day(2005, 3, 1), 10.0, 0, text);
    TZTRecordset rs(m_connection.get());
    rs.Open(Sql::RideById(id));
    QCOMPARE(rs.GetFieldAsString(u"Descrizione"_qs), text);
}

void TestData::refusedWritesLeaveTheRecordsetReusable_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("text too long") << u"Descrizione"_qs << QVariant(QString(256, u'x'))
                                   << u"ZTADO exception: TZTRecordset::SetField[Descrizione]: "_qs;
    QTest::newRow("not a number") << u"KM"_qs << QVariant(u"tanti"_qs)
                                  << u"ZTADO exception: TZTRecordset::SetField[KM]: Type mismatch"_qs;
    QTest::newRow("unknown type") << u"IDTipoUscita"_qs << QVariant(99)
                                  << u"ZTADO exception: TZTRecordset::Update: FOREIGN KEY constraint failed"_qs;
    QTest::newRow("negative type") << u"IDTipoUscita"_qs << QVariant(-1)
                                   << u"ZTADO exception: TZTRecordset::Update: FOREIGN KEY constraint failed"_qs;
}

void TestData::refusedWritesLeaveTheRecordsetReusable()
{
    QFETCH(QString, field);
    QFETCH(QVariant, value);
    QFETCH(QString, expected);
    TZTRecordset rs(m_connection.get());
    rs.Open(Sql::RideTable());
    const QString message = ErrorOf([&] {
        rs.AddNew();
        rs.SetField(u"Data"_qs, Day(2005, 3, 1));
        rs.SetField(u"IDTipoUscita"_qs, 0);
        rs.SetField(u"KM"_qs, 1.0);
        if (value.typeId() == QMetaType::Int)
            rs.SetField(field, value.toInt());
        else
            rs.SetField(field, value.toString());
        rs.Update();
    });
    QVERIFY2(message.startsWith(expected), qPrintable(message));
    rs.Close();
    QCOMPARE(Stored(u"SELECT count(*) FROM Uscite"_qs), u"0"_qs);
    rs.Open(Sql::RideTable());
    QVERIFY(rs.Eof());

    // 255 characters still fit.
    Add(Day(2005, 3, 1), 1.0, 0, QString(255, u'x'));
    QCOMPARE(Stored(u"SELECT length(Descrizione) FROM Uscite"_qs), u"255"_qs);
}

void TestData::editChangesTheRowInPlace()
{
    const int id = Add(Day(2005, 3, 1), 10.0, 0, u"prima"_qs);
    const int other = Add(Day(2005, 3, 2), 20.0);
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
    QCOMPARE(Stored(QStringLiteral("SELECT Data || '|' || KM || '|' || Descrizione FROM Uscite WHERE IDUscita = %1")
                        .arg(id)),
             u"2005-04-02|55.5|dopo"_qs);
    QCOMPARE(Stored(QStringLiteral("SELECT KM FROM Uscite WHERE IDUscita = %1").arg(other)), u"20.0"_qs);
}

void TestData::editOfADeletedRowFails()
{
    const int id = Add(Day(2005, 3, 1), 10.0);
    TZTRecordset rs(m_connection.get());
    rs.Open(Sql::RideById(id));
    m_connection->Execute(Sql::DeleteRide(id));
    const QString message = ErrorOf([&] {
        rs.Edit();
        rs.SetField(u"KM"_qs, 12.0);
        rs.Update();
    });
    QVERIFY2(message.startsWith(u"ZTADO exception: TZTRecordset::"_qs) && message.contains(u"deleted"_qs),
             qPrintable(message));
    rs.Close();
    // Opening the deleted ride gives no row: reading it fails.
    rs.Open(Sql::RideById(id));
    QVERIFY(!ErrorOf([&] { rs.GetFieldAsDateTime(u"Data"_qs); }).isNull());
}

void TestData::monthQuerySelectsTheMonthInOrder()
{
    Add(Day(2005, 2, 28), 1.0);
    const int late = Add(Day(2005, 3, 31), 2.0);
    const int sameDayFirst = Add(Day(2005, 3, 1), 3.0);
    const int sameDaySecond = Add(Day(2005, 3, 1), 4.0);
    Add(Day(2005, 4, 1), 5.0);
    Add(Day(2004, 3, 15), 6.0);
    QCOMPARE(Keys(Sql::MonthRides(2005, 3)), (QList<int>{sameDayFirst, sameDaySecond, late}));
    const int december = Add(Day(2005, 12, 31), 7.0);
    QCOMPARE(Keys(Sql::MonthRides(2005, 12)), QList<int>{december});
    QVERIFY(Keys(Sql::MonthRides(2006, 1)).isEmpty());
}

void TestData::periodQueryIncludesBothEnds()
{
    Add(Day(2004, 11, 30), 1.0);
    const int first = Add(Day(2004, 12, 1), 2.0);
    const int last = Add(Day(2005, 1, 31), 3.0);
    Add(Day(2005, 2, 1), 4.0);
    QCOMPARE(Keys(Sql::PeriodRides(Day(2004, 12, 1), Day(2005, 1, 31))), (QList<int>{first, last}));
    QCOMPARE(Keys(Sql::PeriodRides(Day(2005, 1, 31), Day(2005, 1, 31))), QList<int>{last});
}

void TestData::top10_data()
{
    QTest::addColumn<QList<double>>("distances"); // one ride a day from 1 March 2005
    QTest::addColumn<QList<double>>("expected");
    QTest::newRow("twelve") << QList<double>{5, 80, 12, 45, 90, 33, 7, 60, 21, 75, 18, 50}
                            << QList<double>{90, 80, 75, 60, 50, 45, 33, 21, 18, 12};
    QTest::newRow("eight") << QList<double>{5, 80, 12, 45, 90, 33, 7, 60}
                           << QList<double>{90, 80, 60, 45, 33, 12, 7, 5};
    QTest::newRow("tie at tenth") << QList<double>{10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 9}
                                  << QList<double>(11, 10);
    QTest::newRow("none") << QList<double>{} << QList<double>{};
}

void TestData::top10()
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
        QVERIFY(!rs.GetFieldAsDateTime(u"Data"_qs).ToQDate().isNull());
        if (found.back() == 10) {
            // Equal distances come by date.
            QVERIFY(rs.GetFieldAsDateTime(u"Data"_qs) > previousDate);
            previousDate = rs.GetFieldAsDateTime(u"Data"_qs);
        }
    }
    QCOMPARE(found, expected);
}

void TestData::closedConnectionFailsTheRecordset()
{
    Add(Day(2005, 3, 1), 10.0);
    TZTRecordset rs(m_connection.get());
    rs.Open(Sql::AllRidesByKey());
    m_connection->Close();
    QCOMPARE(ErrorOf([&] { rs.GetFieldAsDouble(u"KM"_qs); }),
             u"ZTADO exception: TZTRecordset::GetFieldAsDouble[KM]: Operation is not allowed when the object is closed"_qs);
    rs.Close();
    QVERIFY(ErrorOf([&] { rs.Open(Sql::AllRidesByKey()); }).startsWith(u"ZTADO exception: TZTRecordset::Open: "_qs));
}

QTEST_GUILESS_MAIN(TestData)
#include "test_data.moc"
