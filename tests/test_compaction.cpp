#include "data/TZTConnection.h"
#include "support/ReadOnlyFolder.h"
#include "support/TestDatabase.h"
#include "tools/Compaction.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString ChildSwitch = QStringLiteral("--compaction-child");
const QString Template = QStringLiteral("Provider=SQLite;Data Source=%DATASOURCE%");
// Every ride, whole; small databases only.
const QString AllRides = QStringLiteral(
    "SELECT group_concat(r, ';') FROM (SELECT IDUscita || '|' || IDTipoUscita || '|' || Data || '|' || "
    "ifnull(Descrizione, '') || '|' || KM || '|' || ifnull(Durata, '') || '|' || ifnull(Note, '') AS r "
    "FROM Uscite ORDER BY IDUscita)");
// The figures of a large database.
const QString Figures = QStringLiteral(
    "SELECT count(*) || ' ' || total(KM) || ' ' || total(IDUscita) || ' ' || total(length(Descrizione)) FROM Uscite");

QByteArray Bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// Rides with holes: every third of `count` rides deleted, so compaction has work to do.
QString FillRides(const QString& path, int count)
{
    return TestDatabase::Exec(
        path, QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                             "INSERT INTO Uscite (IDTipoUscita, Data, Descrizione, KM, Durata, Note) "
                             "SELECT i % 6, date('1995-01-01', '+' || (i / 7) || ' days'), "
                             "'Giro n. ' || i || ' in città', (i % 2000) / 10.0, "
                             "CASE WHEN i % 4 = 0 THEN NULL ELSE '01:02:03' END, "
                             "CASE WHEN i % 9 = 0 THEN 'nota' END FROM n; "
                             "DELETE FROM Uscite WHERE IDUscita % 3 = 0")
                  .arg(count));
}

// The child process of the fault test: compacts a database and says "go" on
// its standard output just before it starts.
int RunChild(const QString& database)
{
    std::fputs("go\n", stdout);
    std::fflush(stdout);
    const Compaction::Result result = Compaction::CompactDatabase(Template, database);
    std::printf("%s\n", qPrintable(result.detail));
    return result.outcome == Compaction::Outcome::Compacted ? 0 : 1;
}

}

class TestCompaction : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_folder;
    QString m_path;
    QString m_backup;

    Compaction::Result Compact() { return Compaction::CompactDatabase(Template, m_path); }
    QString Stored(const QString& sql) const { return TestDatabase::Scalar(m_path, sql); }
    // Files of the folder besides the database and its backup.
    QStringList Others() const
    {
        QStringList names = QDir(m_folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        names.removeAll(u"kilovento.mdb"_qs);
        names.removeAll(u"kilovento.mdbbak"_qs);
        return names;
    }

private Q_SLOTS:
    void init();
    void backupIsTheDatabaseAsItWas();
    void twoInARowBackUpTheFirstResult();
    void staleBackupAndLeftoversAreReplaced();
    void refusedRenameChangesNothing_data();
    void refusedRenameChangesNothing();
    void unsoundResultIsNotPutInPlace();
    void missingDatabaseStaysMissing();
    void killedCompactionKeepsEveryRide();
};

void TestCompaction::init()
{
    QVERIFY(m_dir.isValid());
    m_folder = m_dir.filePath(u"program"_qs);
    QVERIFY(QDir(m_folder).removeRecursively());
    QVERIFY(QDir().mkpath(m_folder));
    m_path = QDir(m_folder).filePath(u"kilovento.mdb"_qs);
    m_backup = QDir(m_folder).filePath(u"kilovento.mdbbak"_qs);
    QCOMPARE(Compaction::BackupPath(m_path), m_backup);
    QCOMPARE(TestDatabase::Create(m_path), QString());
    QCOMPARE(FillRides(m_path, 3000), QString());
}

void TestCompaction::backupIsTheDatabaseAsItWas()
{
    const QByteArray before = Bytes(m_path);
    const QString rides = Stored(AllRides);
    const QString lastKey = Stored(u"SELECT seq FROM sqlite_sequence WHERE name = 'Uscite'"_qs);
    QVERIFY(!rides.isEmpty());

    const Compaction::Result result = Compact();
    QVERIFY2(result.outcome == Compaction::Outcome::Compacted, qPrintable(result.detail));
    QVERIFY(result.message.isEmpty());
    QCOMPARE(Bytes(m_backup), before);
    QCOMPARE(Stored(u"PRAGMA integrity_check"_qs), u"ok"_qs);
    QCOMPARE(Stored(AllRides), rides);
    QVERIFY2(QFileInfo(m_path).size() < before.size(),
             qPrintable(QStringLiteral("%1 bytes, before %2").arg(QFileInfo(m_path).size()).arg(before.size())));
    QVERIFY2(Others().isEmpty(), qPrintable(Others().join(u", "_qs)));
    // Two files, not two names of one: a change to the database leaves the backup alone.
    QCOMPARE(TestDatabase::Exec(m_path, u"DELETE FROM Uscite"_qs), QString());
    QCOMPARE(Bytes(m_backup), before);
    // The counter came along: a new ride never gets a deleted ride's key.
    QCOMPARE(TestDatabase::Exec(m_path, u"INSERT INTO Uscite (IDTipoUscita, Data, KM) VALUES (0, '2005-03-15', 1)"_qs),
             QString());
    QCOMPARE(Stored(u"SELECT IDUscita FROM Uscite"_qs).toInt(), lastKey.toInt() + 1);
}

void TestCompaction::twoInARowBackUpTheFirstResult()
{
    QVERIFY(Compact().outcome == Compaction::Outcome::Compacted);
    const QByteArray first = Bytes(m_path);
    QVERIFY(Compact().outcome == Compaction::Outcome::Compacted);
    QCOMPARE(Bytes(m_backup), first);
    QCOMPARE(Stored(u"PRAGMA integrity_check"_qs), u"ok"_qs);
    QVERIFY(Others().isEmpty());
}

void TestCompaction::staleBackupAndLeftoversAreReplaced()
{
    const QByteArray before = Bytes(m_path);
    QVERIFY(WriteFile(m_backup, "a backup from long ago"));
    // What a run killed half way leaves behind.
    QVERIFY(WriteFile(m_path + u".compacting"_qs, "half a database"));
    QVERIFY(WriteFile(m_backup + u".new"_qs, "half a backup"));

    const Compaction::Result result = Compact();
    QVERIFY2(result.outcome == Compaction::Outcome::Compacted, qPrintable(result.detail));
    QCOMPARE(Bytes(m_backup), before);
    QVERIFY2(Others().isEmpty(), qPrintable(Others().join(u", "_qs)));
}

void TestCompaction::refusedRenameChangesNothing_data()
{
    QTest::addColumn<bool>("readOnlyFolder");
    QTest::addColumn<bool>("backupIsAFolder");
    QTest::newRow("read-only folder") << true << false;
    QTest::newRow("backup name taken by a folder") << false << true;
}

void TestCompaction::refusedRenameChangesNothing()
{
    QFETCH(bool, readOnlyFolder);
    QFETCH(bool, backupIsAFolder);
    const QString previous = backupIsAFolder ? QDir(m_backup).filePath(u"inside"_qs) : m_backup;
    QVERIFY(!backupIsAFolder || QDir().mkpath(m_backup));
    QVERIFY(WriteFile(previous, "the previous backup"));
    const QByteArray before = Bytes(m_path);

    Compaction::Result result;
    if (readOnlyFolder) {
        const ReadOnlyFolder readOnly(m_folder);
        if (!readOnly.done())
            QSKIP("this file system cannot make a folder read-only");
        result = Compact();
    } else {
        result = Compact();
    }
    QVERIFY(result.outcome == Compaction::Outcome::BackupRefused);
    QCOMPARE(result.message, u"impossibile rinominare il file."_qs);
    QCOMPARE(Bytes(m_path), before);
    QCOMPARE(Bytes(previous), QByteArray("the previous backup"));
    QVERIFY2(Others().isEmpty(), qPrintable(Others().join(u", "_qs)));
    QVERIFY(QDir(m_backup).removeRecursively());
}

void TestCompaction::unsoundResultIsNotPutInPlace()
{
    // An index whose entries no longer match its definition: VACUUM INTO
    // copies index entries as they are, so the result fails the check too.
    QCOMPARE(TestDatabase::Exec(m_path, u"PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = "
                                        "'CREATE INDEX IX_Uscite_Data ON Uscite (KM)' WHERE name = 'IX_Uscite_Data'"_qs),
             QString());
    QVERIFY(WriteFile(m_backup, "the previous backup"));
    const QByteArray before = Bytes(m_path);

    const Compaction::Result result = Compact();
    QVERIFY(result.outcome == Compaction::Outcome::EngineFailed);
    QCOMPARE(result.message, u"OleFunction CompactDatabase exception."_qs);
    QVERIFY2(result.detail.startsWith(u"integrity check: "_qs), qPrintable(result.detail));
    QCOMPARE(Bytes(m_path), before);
    QCOMPARE(Bytes(m_backup), QByteArray("the previous backup"));
    QVERIFY2(Others().isEmpty(), qPrintable(Others().join(u", "_qs)));
}

void TestCompaction::missingDatabaseStaysMissing()
{
    QVERIFY(QFile::rename(m_path, m_backup));
    const QByteArray backup = Bytes(m_backup);
    const Compaction::Result result = Compact();
    QVERIFY(result.outcome == Compaction::Outcome::EngineFailed);
    QVERIFY2(result.detail.contains(u"Database file not found"_qs), qPrintable(result.detail));
    QVERIFY(!QFile::exists(m_path));
    QCOMPARE(Bytes(m_backup), backup);
    QVERIFY(Others().isEmpty());
}

void TestCompaction::killedCompactionKeepsEveryRide()
{
    QCOMPARE(FillRides(m_path, 240000), QString());
    const QString figures = Stored(Figures);
    // A previous backup one ride short, to tell it from the new one.
    QVERIFY(QFile::copy(m_path, m_backup));
    QCOMPARE(TestDatabase::Exec(m_backup, u"DELETE FROM Uscite WHERE IDUscita = (SELECT max(IDUscita) FROM Uscite)"_qs),
             QString());
    const QString previousFigures = TestDatabase::Scalar(m_backup, Figures);
    const QString pristine = m_dir.filePath(u"pristine.mdb"_qs), pristineBackup = m_dir.filePath(u"pristine.mdbbak"_qs);
    for (const QString& copy : {pristine, pristineBackup})
        QFile::remove(copy);
    QVERIFY(QFile::copy(m_path, pristine));
    QVERIFY(QFile::copy(m_backup, pristineBackup));

    const auto start = [&](QProcess& child) {
        child.start(QCoreApplication::applicationFilePath(), {ChildSwitch, m_path});
        QVERIFY(child.waitForStarted());
        while (!child.canReadLine())
            QVERIFY(child.waitForReadyRead(10000));
        QCOMPARE(child.readLine(), QByteArray("go\n"));
    };
    const auto restore = [&] {
        for (const QString& name : QDir(m_folder).entryList(QDir::Files))
            QVERIFY(QFile::remove(QDir(m_folder).filePath(name)));
        QVERIFY(QFile::copy(pristine, m_path));
        QVERIFY(QFile::copy(pristineBackup, m_backup));
    };

    QElapsedTimer clock;
    qint64 runMs = 0;
    {
        QProcess child;
        start(child);
        clock.start();
        QVERIFY(child.waitForFinished(60000));
        runMs = clock.elapsed();
        QCOMPARE(child.exitCode(), 0);
    }

    constexpr int Kills = 16;
    int sawOld = 0, sawNew = 0;
    for (int k = 1; k <= Kills; ++k) {
        restore();
        QProcess child;
        start(child);
        const int delayMs = int(runMs * k / (Kills - 1.0));
        QTest::qSleep(delayMs);
        child.kill();
        QVERIFY(child.waitForFinished(10000));

        const QString at = QStringLiteral("kill %1 after %2 ms").arg(k).arg(delayMs);
        TZTConnection connection;
        connection.Open(TestDatabase::ConnectionStringFor(m_path));
        connection.Close();
        QVERIFY2(Stored(u"PRAGMA integrity_check"_qs) == u"ok"_qs, qPrintable(at));
        QVERIFY2(Stored(Figures) == figures, qPrintable(at));
        const QString backup = TestDatabase::Scalar(m_backup, Figures);
        QVERIFY2(backup == previousFigures || backup == figures, qPrintable(at + u": backup "_qs + backup));
        (backup == previousFigures ? sawOld : sawNew)++;
        // A run after the kill clears what it left and succeeds.
        if (k % 4 == 0) {
            const Compaction::Result result = Compact();
            QVERIFY2(result.outcome == Compaction::Outcome::Compacted, qPrintable(at + u": "_qs + result.detail));
            QVERIFY2(Stored(Figures) == figures, qPrintable(at));
            QVERIFY2(Others().isEmpty(), qPrintable(at + u": "_qs + Others().join(u", "_qs)));
        }
    }
    QVERIFY2(sawOld >= Kills / 2, qPrintable(QStringLiteral("%1 of %2 kills came before the end").arg(sawOld).arg(Kills)));
    qInfo("%d kills over a run of %lld ms: %d before the backup was in place, %d after", Kills, runMs, sawOld, sawNew);
}

int main(int argc, char* argv[])
{
    if (argc == 3 && QString::fromLocal8Bit(argv[1]) == ChildSwitch)
        return RunChild(QString::fromLocal8Bit(argv[2]));
    QCoreApplication app(argc, argv);
    TestCompaction test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_compaction.moc"
