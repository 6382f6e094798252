#include "data/TZTConnection.h"
#include "support/ReadOnlyFolder.h"
#include "support/Files.h"
#include "support/TestDatabase.h"
#include "tools/Compaction.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <optional>

namespace {

const QString ChildSwitch = QStringLiteral("--compaction-child");
const QString Template = QStringLiteral("Provider=SQLite;Data Source=%DATASOURCE%");
// Sums over every column of every ride.
const QString Figures = QStringLiteral(
    "SELECT count(*) || ' ' || total(KM) || ' ' || total(IDUscita * 8 + IDTipoUscita) || ' ' || "
    "total(length(Data || Descrizione)) || ' ' || total(length(Durata)) || ' ' || total(length(Note)) FROM Uscite");



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
    void init()
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

    void backupIsTheDatabaseAsItWas()
    {
        const QByteArray before = Bytes(m_path);
        const QString figures = Stored(Figures);
        const QString lastKey = Stored(u"SELECT seq FROM sqlite_sequence WHERE name = 'Uscite'"_qs);
        // A stale backup, and what a run killed half way leaves behind.
        QVERIFY(WriteFile(m_backup, "a backup from long ago"));
        QVERIFY(WriteFile(m_path + u".compacting"_qs, "half a database"));
        QVERIFY(WriteFile(m_backup + u".new"_qs, "half a backup"));

        const Compaction::Result result = Compact();
        QVERIFY2(result.outcome == Compaction::Outcome::Compacted, qPrintable(result.detail));
        QCOMPARE(Bytes(m_backup), before);
        QCOMPARE(Stored(u"PRAGMA integrity_check"_qs), u"ok"_qs);
        QCOMPARE(Stored(Figures), figures);
        QVERIFY(QFileInfo(m_path).size() < before.size());
        QVERIFY2(Others().isEmpty(), qPrintable(Others().join(u", "_qs)));

        // A second run in a row backs up the first one's result.
        const QByteArray first = Bytes(m_path);
        QVERIFY(Compact().outcome == Compaction::Outcome::Compacted);
        QCOMPARE(Bytes(m_backup), first);
        QCOMPARE(Stored(Figures), figures);
        QVERIFY(Others().isEmpty());

        // Two files, not two names of one: a change to the database leaves the backup alone.
        // And the counter came along: a new ride never gets a deleted ride's key.
        QCOMPARE(TestDatabase::Exec(m_path, u"DELETE FROM Uscite; INSERT INTO Uscite (IDTipoUscita, Data, KM) "
                                            "VALUES (0, '2005-03-15', 1)"_qs),
                 QString());
        QCOMPARE(Bytes(m_backup), first);
        QCOMPARE(Stored(u"SELECT IDUscita FROM Uscite"_qs).toInt(), lastKey.toInt() + 1);
    }

    void failureChangesNothing_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("read-only folder") << u"read-only"_qs << u"impossibile rinominare il file."_qs;
        QTest::newRow("backup name taken by a folder") << u"folder"_qs << u"impossibile rinominare il file."_qs;
        // An index whose entries no longer match its definition: VACUUM INTO
        // copies index entries as they are, so the result fails the check too.
        QTest::newRow("result fails the integrity check")
            << u"index"_qs << u"OleFunction CompactDatabase exception."_qs;
    }

    void failureChangesNothing()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        const QString previous = fault == u"folder" ? QDir(m_backup).filePath(u"inside"_qs) : m_backup;
        QVERIFY(fault != u"folder" || QDir().mkpath(m_backup));
        QVERIFY(WriteFile(previous, "the previous backup"));
        if (fault == u"index")
            QCOMPARE(TestDatabase::DamageDateIndex(m_path), QString());
        const QByteArray before = Bytes(m_path);

        Compaction::Result result;
        {
            std::optional<ReadOnlyFolder> readOnly;
            if (fault == u"read-only")
                readOnly.emplace(m_folder);
            if (readOnly && !readOnly->done())
                QSKIP("this file system cannot make a folder read-only");
            result = Compact();
        }
        QVERIFY(result.outcome != Compaction::Outcome::Compacted);
        QCOMPARE(result.message, message);
        QVERIFY2(fault != u"index" || result.detail.startsWith(u"integrity check: "_qs), qPrintable(result.detail));
        QCOMPARE(Bytes(m_path), before);
        QCOMPARE(Bytes(previous), QByteArray("the previous backup"));
        QVERIFY2(Others().isEmpty(), qPrintable(Others().join(u", "_qs)));
    }

    void killedCompactionKeepsEveryRide()
    {
        QCOMPARE(FillRides(m_path, 240000), QString());
        const QString figures = Stored(Figures);
        // A previous backup one ride short, to tell it from the new one.
        QVERIFY(QFile::copy(m_path, m_backup));
        QCOMPARE(TestDatabase::Exec(m_backup, u"DELETE FROM Uscite WHERE IDUscita = "
                                              "(SELECT max(IDUscita) FROM Uscite)"_qs),
                 QString());
        const QString previousFigures = TestDatabase::Scalar(m_backup, Figures);
        const QString pristine = m_dir.filePath(u"pristine.mdb"_qs);
        const QString pristineBackup = m_dir.filePath(u"pristine.mdbbak"_qs);
        QVERIFY(QFile::copy(m_path, pristine) && QFile::copy(m_backup, pristineBackup));

        // Starts a child on fresh copies of both files; returns once it has said "go".
        const auto start = [&](QProcess& child) {
            for (const QString& name : QDir(m_folder).entryList(QDir::Files))
                QVERIFY(QFile::remove(QDir(m_folder).filePath(name)));
            QVERIFY(QFile::copy(pristine, m_path) && QFile::copy(pristineBackup, m_backup));
            child.start(QCoreApplication::applicationFilePath(), {ChildSwitch, m_path});
            while (!child.canReadLine())
                QVERIFY(child.waitForReadyRead(10000));
            QCOMPARE(child.readLine(), QByteArray("go\n"));
        };

        // A whole run first, to time it; then kills spread over the run.
        constexpr int Kills = 16;
        qint64 runMs = 0;
        int sawOld = 0;
        for (int k = 0; k <= Kills; ++k) {
            QProcess child;
            start(child);
            if (k == 0) {
                QElapsedTimer clock;
                clock.start();
                QVERIFY(child.waitForFinished(60000));
                runMs = clock.elapsed();
                QCOMPARE(child.exitCode(), 0);
                continue;
            }
            QTest::qSleep(int(runMs * k / (Kills - 1.0)));
            child.kill();
            QVERIFY(child.waitForFinished(10000));

            const QByteArray at = "kill " + QByteArray::number(k);
            TZTConnection().Open(TestDatabase::ConnectionStringFor(m_path));
            QVERIFY2(Stored(u"PRAGMA integrity_check"_qs) == u"ok"_qs && Stored(Figures) == figures, at);
            const QString backup = TestDatabase::Scalar(m_backup, Figures);
            QVERIFY2(backup == previousFigures || backup == figures, at);
            sawOld += backup == previousFigures;
            // A run after the kill clears what it left and succeeds.
            if (k % 4 == 0) {
                QVERIFY2(Compact().outcome == Compaction::Outcome::Compacted, at);
                QVERIFY2(Stored(Figures) == figures && Others().isEmpty(), at);
            }
        }
        QVERIFY2(sawOld >= Kills / 2,
                 qPrintable(QStringLiteral("%1 of %2 kills came before the end").arg(sawOld).arg(Kills)));
    }
};

int main(int argc, char* argv[])
{
    if (argc == 3 && QString::fromLocal8Bit(argv[1]) == ChildSwitch) {
        // The child of the fault test: says "go" just before it compacts.
        std::puts("go");
        std::fflush(stdout);
        const Compaction::Result result = Compaction::CompactDatabase(Template, QString::fromLocal8Bit(argv[2]));
        return result.outcome == Compaction::Outcome::Compacted ? 0 : 1;
    }
    QCoreApplication app(argc, argv);
    TestCompaction test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_compaction.moc"
