#include "data/TZTConnection.h"
#include "support/TestDatabase.h"
#include "tools/DatImport.h"
#include "util/Exception.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

#include <cstdio>
#include <limits>

namespace {

const QString ChildSwitch = QStringLiteral("--import-child");
const QString RideRows = QStringLiteral(
    "SELECT Data, KM, Descrizione, IDTipoUscita, Note, typeof(Durata) FROM Uscite ORDER BY IDUscita");

// Every row of a query, columns joined by "|".
QStringList Rows(const QString& path, const QString& sql)
{
    QStringList rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) == SQLITE_OK) {
            while (sqlite3_step(stmt) == SQLITE_ROW) {
                QStringList columns;
                for (int i = 0; i < sqlite3_column_count(stmt); ++i)
                    columns.append(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i))));
                rows.append(columns.join(u'|'));
            }
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return rows;
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The lines of a large run: `files` months from January 1990, `lines` rides each.
qint64 WriteLargeRun(const QString& folder, int files, int lines)
{
    for (int f = 0; f < files; ++f) {
        const int month = f % 12 + 1, year = 1990 + f / 12;
        QByteArray text;
        for (int i = 0; i < lines; ++i)
            text += QStringLiteral("%1 %2.%3 Uscita n. %4^%5\r\n")
                        .arg(i % 28 + 1, 2, 10, QChar(u'0'))
                        .arg(i % 200)
                        .arg(i % 10)
                        .arg(i)
                        .arg(i % 6 + 1)
                        .toLatin1();
        if (!WriteFile(QDir(folder).filePath(QStringLiteral("%1%2.dat").arg(month, 2, 10, QChar(u'0')).arg(year)),
                       text))
            return -1;
    }
    return qint64(files) * lines;
}

// The child process of the fault test: imports a folder into a database and
// says "go" on its standard output just before it starts.
int RunChild(const QString& folder, const QString& database)
{
    try {
        TZTConnection connection;
        connection.Open(TestDatabase::ConnectionStringFor(database));
        std::fputs("go\n", stdout);
        std::fflush(stdout);
        const DatImportResult result = DatImport::ImportFolder(connection, folder);
        std::printf("%d %d\n", result.files, result.rides);
        return result.failure ? 1 : 0;
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.Message()));
        return 2;
    }
}

}

class TestImport : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_path;
    QString m_folder;

    QString Dat(const QString& name) const { return QDir(m_folder).filePath(name); }

    DatImportResult Import(QStringList* started = nullptr)
    {
        TZTConnection connection;
        connection.Open(TestDatabase::ConnectionStringFor(m_path));
        return DatImport::ImportFolder(connection, m_folder, [started](const QString& name) {
            if (started)
                started->append(name);
        });
    }

private Q_SLOTS:
    // Italian, so a decimal comma is what the locale would expect.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); }
    void init();
    void linesBecomeRides_data();
    void linesBecomeRides();
    void filesAreImportedInDateOrder();
    void folderWithoutDatFilesChangesNothing();
    void badInputStoresNothingOfTheRun_data();
    void badInputStoresNothingOfTheRun();
    void runAgainAfterAFixStoresEachRideOnce();
    void lockedDatabaseStoresNothing();
    void killedImportStoresAllOrNothing();
};

void TestImport::init()
{
    QVERIFY(m_dir.isValid());
    m_path = m_dir.filePath(u"kilovento.mdb"_qs);
    QFile::remove(m_path);
    QCOMPARE(TestDatabase::Create(m_path), QString());
    m_folder = m_dir.filePath(u"dat"_qs);
    QVERIFY(QDir(m_folder).removeRecursively());
    QVERIFY(QDir().mkpath(m_folder));
}

void TestImport::linesBecomeRides_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("rows"); // Data|KM|Descrizione|IDTipoUscita|Note|typeof(Durata)

    QTest::newRow("documented line") << u"012004.dat"_qs << QByteArray("05 45.5 Giro del lago^2\r\n")
                                     << QStringList{u"2004-01-05|45.5|Giro del lago|1||null"_qs};
    QTest::newRow("empty description") << u"012004.dat"_qs << QByteArray("17 120.0 ^1")
                                       << QStringList{u"2004-01-17|120.0||0||null"_qs};
    QTest::newRow("point in the description") << u"012004.dat"_qs << QByteArray("03 30.0 Giro n. 2^1\r\n")
                                              << QStringList{u"2004-01-03|30.0|Giro n. 2|0||null"_qs};
    QTest::newRow("windows-1252 text")
        << u"072004.dat"_qs << QByteArray("10 12.5 Citt\xe0 \x93" "alta\x94, caff\xe8 e pi\xf9 \x80^4\r\n")
        << QStringList{u"2004-07-10|12.5|Città “alta”, caffè e più €|3||null"_qs};
    QTest::newRow("blanks, controls and what follows the type")
        << u"022004.dat"_qs << QByteArray("29 7.5 \tVento forte\t ^6xyz")
        << QStringList{u"2004-02-29|7.5|Vento forte|5||null"_qs};
    QTest::newRow("CR, LF and CR LF line ends")
        << u"122003.dat"_qs << QByteArray("01 1.0 a^1\r02 2.0 b^2\n03 3.0 c^3\r\n")
        << QStringList{u"2003-12-01|1.0|a|0||null"_qs, u"2003-12-02|2.0|b|1||null"_qs,
                       u"2003-12-03|3.0|c|2||null"_qs};
    QTest::newRow("distances as written") << u"062004.dat"_qs << QByteArray("01 45.3 a^1\n02 0.1 b^1\n03 999.7 c^1\n")
                                          << QStringList{u"2004-06-01|45.3|a|0||null"_qs, u"2004-06-02|0.1|b|0||null"_qs,
                                                         u"2004-06-03|999.7|c|0||null"_qs};
    QTest::newRow("upper-case extension") << u"032004.DAT"_qs << QByteArray("31 0.5 x^1")
                                          << QStringList{u"2004-03-31|0.5|x|0||null"_qs};
    QTest::newRow("empty file") << u"052004.dat"_qs << QByteArray() << QStringList();
}

void TestImport::linesBecomeRides()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);
    QFETCH(QStringList, rows);
    QVERIFY(WriteFile(Dat(fileName), content));

    QStringList started;
    const DatImportResult result = Import(&started);
    QVERIFY2(!result.failure, qPrintable(result.failure ? result.failure->Message() : QString()));
    QCOMPARE(result.files, 1);
    QCOMPARE(result.rides, int(rows.size()));
    QCOMPARE(started, QStringList{fileName});
    QCOMPARE(Rows(m_path, RideRows), rows);
    // Each distance is the double nearest to its text, as a decimal-point reading gives.
    QCOMPARE(TestDatabase::Scalar(m_path, u"SELECT count(*) FROM Uscite WHERE KM <> CAST(printf('%.1f', KM) AS REAL)"_qs),
             u"0"_qs);
    if (!rows.isEmpty())
        QCOMPARE(TestDatabase::Scalar(m_path, u"SELECT typeof(Note) FROM Uscite"_qs), u"text"_qs);
}

void TestImport::filesAreImportedInDateOrder()
{
    QVERIFY(WriteFile(Dat(u"022004.dat"_qs), "14 33.3 San Valentino^1\r\n"));
    QVERIFY(WriteFile(Dat(u"012004.dat"_qs), "02 10.0 Primo^1\r\n09 20.5 Secondo^3\r\n"));
    QVERIFY(WriteFile(Dat(u"122003.dat"_qs), "31 5.0 Ultimo dell'anno^2"));
    // Not part of the run: another extension, a hidden file, a subfolder.
    QVERIFY(WriteFile(Dat(u"032004.txt"_qs), "01 1.0 no^1"));
    QVERIFY(WriteFile(Dat(u".042004.dat"_qs), "01 1.0 no^1"));
    QVERIFY(QDir(m_folder).mkdir(u"052004.dat"_qs));
    QVERIFY(QDir(m_folder).mkdir(u"sub"_qs));
    QVERIFY(WriteFile(Dat(u"sub/062004.dat"_qs), "01 1.0 no^1"));

    QStringList started;
    const DatImportResult result = Import(&started);
    QVERIFY2(!result.failure, qPrintable(result.failure ? result.failure->Message() : QString()));
    QCOMPARE(result.files, 3);
    QCOMPARE(result.rides, 4);
    QCOMPARE(started, (QStringList{u"122003.dat"_qs, u"012004.dat"_qs, u"022004.dat"_qs}));
    QCOMPARE(Rows(m_path, u"SELECT Data, Descrizione FROM Uscite ORDER BY IDUscita"_qs),
             (QStringList{u"2003-12-31|Ultimo dell'anno"_qs, u"2004-01-02|Primo"_qs, u"2004-01-09|Secondo"_qs,
                          u"2004-02-14|San Valentino"_qs}));
}

void TestImport::folderWithoutDatFilesChangesNothing()
{
    QVERIFY(WriteFile(Dat(u"leggimi.txt"_qs), "01 1.0 no^1"));
    QStringList started;
    const DatImportResult result = Import(&started);
    QVERIFY(!result.failure);
    QCOMPARE(result.files, 0);
    QVERIFY(started.isEmpty());
    QCOMPARE(TestDatabase::Scalar(m_path, u"SELECT count(*) FROM Uscite"_qs), u"0"_qs);
}

void TestImport::badInputStoresNothingOfTheRun_data()
{
    // The bad input is in the second file of the run, after a good one.
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("where");  // how the message begins
    QTest::addColumn<QString>("reason"); // a part of the rest

    QTest::newRow("no caret") << u"022004.dat"_qs << QByteArray("01 1.0 a^1\r\n05 45.5 Giro del lago\r\n")
                              << u"File \"022004.dat\", riga 2: "_qs << u"\"^\""_qs;
    QTest::newRow("31 April") << u"042004.dat"_qs << QByteArray("30 1.0 a^1\r\n31 10.0 b^1\r\n")
                              << u"File \"042004.dat\", riga 2: "_qs << u"31 non esiste nel mese 04/2004"_qs;
    QTest::newRow("29 February of a common year")
        << u"022003.dat"_qs << QByteArray("29 10.0 b^1") << u"File \"022003.dat\", riga 1: "_qs
        << u"29 non esiste nel mese 02/2003"_qs;
    QTest::newRow("day 00") << u"022004.dat"_qs << QByteArray("00 10.0 b^1") << u"File \"022004.dat\", riga 1: "_qs
                            << u"non esiste"_qs;
    QTest::newRow("blank line") << u"022004.dat"_qs << QByteArray("01 1.0 a^1\r\n\r\n02 2.0 b^1\r\n")
                                << u"File \"022004.dat\", riga 2: "_qs << u"riga vuota"_qs;
    QTest::newRow("line of blanks") << u"022004.dat"_qs << QByteArray("01 1.0 a^1\n \t \n")
                                    << u"File \"022004.dat\", riga 2: "_qs << u"riga vuota"_qs;
    QTest::newRow("type code 7 of six types") << u"022004.dat"_qs << QByteArray("01 1.0 a^1\r\n02 2.0 b^7\r\n")
                                              << u"File \"022004.dat\", riga 2: "_qs
                                              << u"il codice 7 non è un tipo di uscita"_qs;
    QTest::newRow("type code 0") << u"022004.dat"_qs << QByteArray("02 2.0 b^0")
                                 << u"File \"022004.dat\", riga 1: "_qs << u"il codice 0 non è"_qs;
    QTest::newRow("no type digit") << u"022004.dat"_qs << QByteArray("02 2.0 b^") << u"File \"022004.dat\", riga 1: "_qs
                                   << u"cifra del tipo"_qs;
    QTest::newRow("letter for the type") << u"022004.dat"_qs << QByteArray("02 2.0 b^x")
                                         << u"File \"022004.dat\", riga 1: "_qs << u"cifra del tipo"_qs;
    QTest::newRow("distance without a point") << u"022004.dat"_qs << QByteArray("05 45 Giro^2")
                                              << u"File \"022004.dat\", riga 1: "_qs << u"punto decimale"_qs;
    QTest::newRow("distance with a comma") << u"022004.dat"_qs << QByteArray("05 45,5 Giro. Bello^2")
                                           << u"File \"022004.dat\", riga 1: "_qs << u"distanza non valida"_qs;
    QTest::newRow("day not in digits") << u"022004.dat"_qs << QByteArray("a5 45.5 Giro^2")
                                       << u"File \"022004.dat\", riga 1: "_qs << u"due cifre"_qs;
    QTest::newRow("description the database refuses")
        << u"022004.dat"_qs << QByteArray("01 1.0 a^1\n02 2.0 " + QByteArray(256, 'x') + "^1\n")
        << u"File \"022004.dat\", riga 2: "_qs << u"ZTADO exception: TZTRecordset::SetField[Descrizione]"_qs;
    QTest::newRow("name without month and year") << u"feb2004.dat"_qs << QByteArray("01 1.0 a^1")
                                                 << u"File \"feb2004.dat\": "_qs << u"(MMAAAA)"_qs;
    QTest::newRow("month 13") << u"132004.dat"_qs << QByteArray("01 1.0 a^1") << u"File \"132004.dat\": "_qs
                              << u"(MMAAAA)"_qs;
}

void TestImport::badInputStoresNothingOfTheRun()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);
    QFETCH(QString, where);
    QFETCH(QString, reason);
    QCOMPARE(TestDatabase::Exec(m_path, u"INSERT INTO Uscite (IDTipoUscita, Data, KM) VALUES (2, '2001-05-06', 8.5)"_qs),
             QString());
    const QStringList before = Rows(m_path, RideRows);
    QVERIFY(WriteFile(Dat(u"012003.dat"_qs), "01 11.0 buona^1\r\n02 12.0 anche questa^2\r\n"));
    QVERIFY(WriteFile(Dat(fileName), content));

    const DatImportResult result = Import();
    QVERIFY(result.failure);
    QCOMPARE(result.files, 0);
    QCOMPARE(result.rides, 0);
    const QString message = result.failure->Message();
    QVERIFY2(message.startsWith(where), qPrintable(message));
    QVERIFY2(message.contains(reason), qPrintable(message));
    QCOMPARE(Rows(m_path, RideRows), before);
    // The counter too: nothing was inserted and taken back.
    QCOMPARE(TestDatabase::Scalar(m_path, u"SELECT seq FROM sqlite_sequence WHERE name = 'Uscite'"_qs), u"1"_qs);
}

void TestImport::runAgainAfterAFixStoresEachRideOnce()
{
    QVERIFY(WriteFile(Dat(u"012004.dat"_qs), "01 10.0 a^1\r\n02 20.0 b^1\r\n"));
    QVERIFY(WriteFile(Dat(u"022004.dat"_qs), "01 30.0 c^1\r\n31 40.0 d^1\r\n"));
    QVERIFY(Import().failure);
    QVERIFY(WriteFile(Dat(u"022004.dat"_qs), "01 30.0 c^1\r\n28 40.0 d^1\r\n"));
    const DatImportResult result = Import();
    QVERIFY(!result.failure);
    QCOMPARE(Rows(m_path, u"SELECT Descrizione FROM Uscite ORDER BY IDUscita"_qs),
             (QStringList{u"a"_qs, u"b"_qs, u"c"_qs, u"d"_qs}));
}

void TestImport::lockedDatabaseStoresNothing()
{
    QVERIFY(WriteFile(Dat(u"012004.dat"_qs), "01 10.0 a^1\r\n"));
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open_v2(m_path.toUtf8().constData(), &other, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    const std::unique_ptr<sqlite3, decltype(&sqlite3_close)> closer(other, &sqlite3_close);
    QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);

    TZTConnection connection;
    connection.SetBusyTimeout(50);
    connection.Open(TestDatabase::ConnectionStringFor(m_path));
    const DatImportResult result = DatImport::ImportFolder(connection, m_folder);
    QVERIFY(result.failure);
    QVERIFY(result.failure->fileName.isEmpty());
    QVERIFY2(result.failure->Message().startsWith(u"ZTADO exception: TZTConnection::Execute: "_qs),
             qPrintable(result.failure->Message()));
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);

    // The connection is left usable: no transaction is still open on it.
    QCOMPARE(DatImport::ImportFolder(connection, m_folder).rides, 1);
}

void TestImport::killedImportStoresAllOrNothing()
{
    const qint64 lines = WriteLargeRun(m_folder, 40, 1000);
    QVERIFY(lines > 0);
    QCOMPARE(TestDatabase::Exec(m_path, u"INSERT INTO Uscite (IDTipoUscita, Data, KM) VALUES (0, '1989-06-01', 1.5)"_qs),
             QString());
    const QString pristine = m_dir.filePath(u"pristine.mdb"_qs);
    QFile::remove(pristine);
    QVERIFY(QFile::copy(m_path, pristine));
    const QString sumOfAll = u"SELECT count(*) || ' ' || total(KM) FROM Uscite"_qs;

    // Starts the child; returns once it has said "go".
    const auto start = [&](QProcess& child) {
        child.start(QCoreApplication::applicationFilePath(), {ChildSwitch, m_folder, m_path});
        QVERIFY(child.waitForStarted());
        while (!child.canReadLine())
            QVERIFY2(child.waitForReadyRead(10000), qPrintable(QString::fromUtf8(child.readAllStandardError())));
        QCOMPARE(child.readLine(), QByteArray("go\n"));
    };

    // Whole runs: what "all" looks like, and how long a run takes once the
    // files are in the cache.
    QElapsedTimer clock;
    QString all;
    qint64 runMs = std::numeric_limits<qint64>::max();
    for (int run = 0; run < 2; ++run) {
        QVERIFY(QFile::remove(m_path));
        QVERIFY(QFile::copy(pristine, m_path));
        QProcess child;
        start(child);
        clock.start();
        QVERIFY(child.waitForFinished(60000));
        runMs = std::min(runMs, clock.elapsed());
        QCOMPARE(child.exitCode(), 0);
        all = TestDatabase::Scalar(m_path, sumOfAll);
        QCOMPARE(all.section(u' ', 0, 0).toLongLong(), lines + 1);
    }
    const QString none = TestDatabase::Scalar(pristine, sumOfAll);

    // Kills spread over the whole run, the last ones around the commit.
    constexpr int Kills = 14;
    int sawNone = 0, sawAll = 0;
    for (int k = 1; k <= Kills; ++k) {
        QVERIFY(QFile::remove(m_path));
        QFile::remove(m_path + u"-journal"_qs);
        QVERIFY(QFile::copy(pristine, m_path));
        QProcess child;
        start(child);
        const int delayMs = int(runMs * (k <= Kills - 3 ? k / double(Kills - 2) : 0.94 + 0.03 * (k - Kills + 3)));
        QTest::qSleep(delayMs);
        child.kill();
        QVERIFY(child.waitForFinished(10000));

        // Opening rolls back whatever the killed run left half done.
        TZTConnection connection;
        connection.Open(TestDatabase::ConnectionStringFor(m_path));
        connection.Close();
        QCOMPARE(TestDatabase::Scalar(m_path, u"PRAGMA integrity_check"_qs), u"ok"_qs);
        const QString found = TestDatabase::Scalar(m_path, sumOfAll);
        QVERIFY2(found == none || found == all, qPrintable(QStringLiteral("kill %1 after %2 ms: %3 rides and km")
                                                               .arg(k)
                                                               .arg(delayMs)
                                                               .arg(found)));
        (found == none ? sawNone : sawAll)++;
    }
    // Most kills land inside the run; a run that always finished first tests nothing.
    QVERIFY2(sawNone >= Kills / 3, qPrintable(QStringLiteral("%1 of %2 kills found no rides").arg(sawNone).arg(Kills)));
    qInfo("%d kills over a run of %lld ms: %d left no ride, %d every ride", Kills, runMs, sawNone, sawAll);
}

int main(int argc, char* argv[])
{
    if (argc == 4 && QString::fromLocal8Bit(argv[1]) == ChildSwitch)
        return RunChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    QCoreApplication app(argc, argv);
    TestImport test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_import.moc"
