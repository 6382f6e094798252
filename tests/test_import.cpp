#include "data/TZTConnection.h"
#include "support/Failure.h"
#include "support/DatabaseHolder.h"
#include "support/Files.h"
#include "support/ItalianLocale.h"
#include "support/KilledChild.h"
#include "support/TestDatabase.h"
#include "tools/DatImport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString ChildSwitch = QStringLiteral("--import-child");
// Every ride in key order: Data|KM|Descrizione|IDTipoUscita|typeof(Note) typeof(Durata), ";" between rides.
const QString RideRows = QStringLiteral(
    "SELECT group_concat(r, ';') FROM (SELECT Data || '|' || KM || '|' || ifnull(Descrizione, '-') || '|' || "
    "IDTipoUscita || '|' || typeof(Note) || ' ' || typeof(Durata) AS r FROM Uscite ORDER BY IDUscita)");


}

class TestImport : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_path;
    QString m_folder;
    QStringList m_started; // the files the last imports began, in order

    QString Dat(const QString& name) const { return QDir(m_folder).filePath(name); }
    QString Stored(const QString& sql) const { return TestDatabase::Scalar(m_path, sql); }

    DatImportResult Import()
    {
        TZTConnection connection;
        connection.Open(TestDatabase::ConnectionStringFor(m_path));
        return DatImport::ImportFolder(connection, m_folder, [this](const QString& name) { m_started.append(name); });
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(u"kilovento.mdb"_qs);
        QFile::remove(m_path);
        QCOMPARE(TestDatabase::Create(m_path), QString());
        m_folder = m_dir.filePath(u"dat"_qs);
        QVERIFY(QDir(m_folder).removeRecursively());
        QVERIFY(QDir().mkpath(m_folder));
        m_started.clear();
    }

    void linesBecomeRides_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("rows"); // as RideRows gives them

        QTest::newRow("documented line") << u"012004.dat"_qs << QByteArray("05 45.5 Giro del lago^2\r\n")
                                         << u"2004-01-05|45.5|Giro del lago|1|text null"_qs;
        QTest::newRow("empty description, point in another")
            << u"012004.dat"_qs << QByteArray("17 120.0 ^1\n03 30.0 Giro n. 2^1")
            << u"2004-01-17|120.0||0|text null;2004-01-03|30.0|Giro n. 2|0|text null"_qs;
        QTest::newRow("windows-1252 text, upper-case extension")
            << u"072004.DAT"_qs << QByteArray("10 12.5 Citt\xe0 \x93" "alta\x94, caff\xe8 e pi\xf9 \x80^4\r\n")
            << u"2004-07-10|12.5|Città “alta”, caffè e più €|3|text null"_qs;
        QTest::newRow("blanks, controls and what follows the type")
            << u"022004.dat"_qs << QByteArray("29 7.5 \x01\tVento forte\t\x1a ^6xyz")
            << u"2004-02-29|7.5|Vento forte|5|text null"_qs;
        QTest::newRow("CR, LF and CR LF line ends; distances")
            << u"122003.dat"_qs << QByteArray("01 0.1 a^1\r02 999.7 b^2\n03 45.3 c^3\r\n")
            << u"2003-12-01|0.1|a|0|text null;2003-12-02|999.7|b|1|text null;2003-12-03|45.3|c|2|text null"_qs;
        QTest::newRow("empty file") << u"052004.dat"_qs << QByteArray() << QString();
    }

    void linesBecomeRides()
    {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, content);
        QFETCH(QString, rows);
        QVERIFY(WriteFile(Dat(fileName), content));

        const DatImportResult result = Import();
        QCOMPARE(result.files, 1);
        QCOMPARE(result.rides, rows.isEmpty() ? 0 : int(rows.count(u';')) + 1);
        QCOMPARE(m_started, QStringList{fileName});
        QCOMPARE(Stored(RideRows), rows);
        // Each distance is the double nearest to its text, as a decimal-point reading gives.
        QCOMPARE(Stored(u"SELECT count(*) FROM Uscite WHERE KM <> CAST(printf('%.1f', KM) AS REAL)"_qs), u"0"_qs);
    }

    void filesAreImportedInDateOrder()
    {
        QVERIFY(WriteFile(Dat(u"022004.dat"_qs), "14 33.3 San Valentino^1\r\n"));
        QVERIFY(WriteFile(Dat(u"012004.dat"_qs), "02 10.0 Primo^1\r\n09 20.5 Secondo^3\r\n"));
        QVERIFY(WriteFile(Dat(u"122003.dat"_qs), "31 5.0 Ultimo^2"));
        // Not part of the run: another extension, a hidden file, folders.
        QVERIFY(QDir(m_folder).mkpath(u"052004.dat"_qs) && QDir(m_folder).mkpath(u"sub"_qs));
        for (const QString& name : {u"032004.txt"_qs, u".042004.dat"_qs, u"sub/062004.dat"_qs})
            QVERIFY(WriteFile(Dat(name), "01 1.0 no^1"));

        const DatImportResult result = Import();
        QCOMPARE(result.files, 3);
        QCOMPARE(result.rides, 4);
        QCOMPARE(m_started, (QStringList{u"122003.dat"_qs, u"012004.dat"_qs, u"022004.dat"_qs}));
        QCOMPARE(Stored(u"SELECT group_concat(Descrizione, ',') FROM (SELECT * FROM Uscite ORDER BY IDUscita)"_qs),
                 u"Ultimo,Primo,Secondo,San Valentino"_qs);
    }

    void badInputStoresNothingOfTheRun_data()
    {
        // The bad input is in the second file of the run, after a good one.
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("where");  // how the message begins
        QTest::addColumn<QString>("reason"); // a part of the rest

        const auto row = [](const char* tag, const char* name, const QByteArray& content, const char* where,
                            const QString& reason) {
            const QString file = QString::fromUtf8(name);
            QTest::newRow(tag) << file << content
                               << QStringLiteral("File \"%1\"%2: ").arg(file, QString::fromUtf8(where)) << reason;
        };
        row("no caret", "022004.dat", "01 1.0 a^1\r\n05 45.5 Giro del lago\r\n", ", riga 2", u"\"^\""_qs);
        row("29 February of a common year", "022003.dat", "29 10.0 b^1", ", riga 1",
            u"29 non esiste nel mese 02/2003"_qs);
        row("blank line", "022004.dat", "01 1.0 a^1\r\n\r\n02 2.0 b^1\r\n", ", riga 2", u"riga vuota"_qs);
        row("type code 7 of six types", "022004.dat", "01 1.0 a^1\r\n02 2.0 b^7\r\n", ", riga 2",
            u"il codice 7 non è un tipo di uscita"_qs);
        row("type code 0", "022004.dat", "02 2.0 b^0", ", riga 1", u"il codice 0 non è"_qs);
        row("no type digit", "022004.dat", "02 2.0 b^", ", riga 1", u"cifra del tipo"_qs);
        row("distance without a point", "022004.dat", "05 45 Giro^2", ", riga 1", u"punto decimale"_qs);
        row("distance with a comma", "022004.dat", "05 45,5 Giro. Bello^2", ", riga 1", u"distanza non valida"_qs);
        row("day not in digits", "022004.dat", "a5 45.5 Giro^2", ", riga 1", u"due cifre"_qs);
        row("description the database refuses", "022004.dat", "01 1.0 a^1\n02 2.0 " + QByteArray(256, 'x') + "^1\n",
            ", riga 2", u"la descrizione supera i 255 caratteri"_qs);
        row("a megabyte of digits", "022004.dat", "01 " + QByteArray(1 << 20, '7') + ".55 a^1", ", riga 1",
            u"distanza non valida: \"7777"_qs);
        row("name without month and year", "feb2004.dat", "01 1.0 a^1", "", u"(MMAAAA)"_qs);
        row("month 13", "132004.dat", "01 1.0 a^1", "", u"(MMAAAA)"_qs);
    }

    void badInputStoresNothingOfTheRun()
    {
        QFETCH(QString, fileName);
        QFETCH(QByteArray, content);
        QFETCH(QString, where);
        QFETCH(QString, reason);
        QCOMPARE(TestDatabase::InsertRide(m_path, u"2001-05-06"_qs, 8, 2), QString());
        const QString before = Stored(RideRows);
        QVERIFY(WriteFile(Dat(u"012003.dat"_qs), "01 11.0 buona^1\r\n02 12.0 anche questa^2\r\n"));
        QVERIFY(WriteFile(Dat(fileName), content));

        const std::optional<Failure> failure = FailureOf([&] { Import(); });
        QVERIFY(failure);
        const QString message = failure->message;
        QVERIFY2(message.startsWith(where) && message.contains(reason), qPrintable(message.left(300)));
        QVERIFY2(message.size() < 200, "a message box must stay readable");
        QCOMPARE(Stored(RideRows), before);
        // The counter too: nothing was inserted and taken back.
        QCOMPARE(Stored(u"SELECT seq FROM sqlite_sequence WHERE name = 'Uscite'"_qs), u"1"_qs);
    }

    void failedRunsStoreNothingAndLeaveTheConnectionUsable()
    {
        QVERIFY(WriteFile(Dat(u"012004.dat"_qs), "01 10.0 a^1\r\n02 20.0 b^1\r\n"));
        QVERIFY(WriteFile(Dat(u"022004.dat"_qs), "01 30.0 c^1\r\n31 40.0 d^1\r\n"));
        TZTConnection connection;
        connection.SetBusyTimeout(50);
        connection.Open(TestDatabase::ConnectionStringFor(m_path));

        // Another process holds the write lock: the run fails before any file.
        std::optional<DatabaseHolder::InProcess> other(std::in_place, m_path, u"write"_qs);
        QVERIFY(other->Holds());
        std::optional<Failure> failure = FailureOf([&] { DatImport::ImportFolder(connection, m_folder); });
        QVERIFY(failure && failure->why == Exception::Why::Busy);
        QVERIFY2(failure->message.startsWith(u"database in uso da un altro programma. "
                                             "ZTADO exception: TZTConnection::Execute: "_qs),
                 qPrintable(failure->message));
        other.reset();

        // A database that refuses writes is not the fault of the first line.
        TZTConnection readOnly;
        readOnly.Open(TestDatabase::ConnectionStringFor(m_path), TZTConnection::Access::ReadOnly);
        failure = FailureOf([&] { DatImport::ImportFolder(readOnly, m_folder); });
        QVERIFY(failure);
        QVERIFY2(!failure->message.startsWith(u"File "_qs), qPrintable(failure->message));
        QVERIFY2(failure->message.contains(u"readonly"_qs), qPrintable(failure->message));

        // A bad line; then, fixed, a run on the same connection stores each ride once.
        QVERIFY(FailureOf([&] { DatImport::ImportFolder(connection, m_folder); }));
        QVERIFY(WriteFile(Dat(u"022004.dat"_qs), "01 30.0 c^1\r\n28 40.0 d^1\r\n"));
        DatImport::ImportFolder(connection, m_folder);
        QCOMPARE(Stored(u"SELECT group_concat(Descrizione, '') FROM (SELECT * FROM Uscite ORDER BY IDUscita)"_qs),
                 u"abcd"_qs);
    }

    void killedImportStoresAllOrNothing()
    {
        // 40 months from January 1990, 1000 rides each, and one ride stored before.
        for (int f = 0; f < 40; ++f) {
            QByteArray text;
            for (int i = 0; i < 1000; ++i)
                text += QByteArray::number(10 + i % 18) + ' ' + QByteArray::number(i % 200) + ".5 Uscita n. "
                        + QByteArray::number(i) + '^' + QByteArray::number(i % 6 + 1) + "\r\n";
            const QString name = QStringLiteral("%1%2.dat").arg(f % 12 + 1, 2, 10, QChar(u'0')).arg(1990 + f / 12);
            QVERIFY(WriteFile(Dat(name), text));
        }
        QCOMPARE(TestDatabase::InsertRide(m_path, u"1989-06-01"_qs, 1), QString());
        const QString pristine = m_dir.filePath(u"pristine.mdb"_qs);
        QVERIFY(QFile::copy(m_path, pristine));
        KilledChild::StoresAllOrNothing({ChildSwitch, m_folder, m_path}, m_path, pristine, 40001);
    }
};

int main(int argc, char* argv[])
{
    if (argc == 4 && QString::fromLocal8Bit(argv[1]) == ChildSwitch) {
        // The child of the fault test: says "go" just before it imports.
        TZTConnection connection;
        connection.Open(TestDatabase::ConnectionStringFor(QString::fromLocal8Bit(argv[3])));
        KilledChild::SayGo();
        DatImport::ImportFolder(connection, QString::fromLocal8Bit(argv[2]));
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestImport test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_import.moc"
