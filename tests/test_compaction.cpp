#include "data/TZTConnection.h"
#include "support/ReadOnlyFolder.h"
#include "support/Files.h"
#include "support/KilledChild.h"
#include "support/DatabaseHolder.h"
#include "support/Failure.h"
#include "support/TestDatabase.h"
#include "tools/Compaction.h"
#include "util/Exception.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString ChildSwitch = QStringLiteral("--compaction-child");
const QString Template = QStringLiteral("Provider=SQLite;Data Source=%DATASOURCE%");

// Writes beyond `bytes` fail for as long as this lives, as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN); // the write fails instead of ending the process
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved{};
    void (*m_handler)(int) = SIG_DFL;
};

// What a symbolic link says, as it says it; empty for anything else.
QString LinkText(const QString& path)
{
    char text[4096];
    const ssize_t size = ::readlink(QFile::encodeName(path).constData(), text, sizeof text);
    return size > 0 ? QFile::decodeName(QByteArray(text, int(size))) : QString();
}

struct Access
{
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
    bool operator==(const Access&) const = default;
};

Access AccessOf(const QString& path)
{
    struct stat info{};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {mode_t(info.st_mode & 07777), info.st_uid, info.st_gid};
}

}

namespace QTest {
template <>
char* toString(const Access& access)
{
    return qstrdup(qPrintable(QStringLiteral("mode %1, owner %2, group %3")
                                  .arg(access.mode, 4, 8, QChar(u'0'))
                                  .arg(access.owner)
                                  .arg(access.group)));
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

    std::optional<Failure> Compact()
    {
        return FailureOf([&] { Compaction::CompactDatabase(Template, m_path); });
    }
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
        QCOMPARE(TestDatabase::FillRides(m_path, 3000, 3), QString());
    }

    void backupIsTheDatabaseAsItWas()
    {
        const QByteArray before = Bytes(m_path);
        const QString figures = Stored(TestDatabase::RideFigures);
        const QString lastKey = Stored(u"SELECT seq FROM sqlite_sequence WHERE name = 'Uscite'"_qs);
        // A stale backup, and what a run killed half way leaves behind.
        QVERIFY(WriteFile(m_backup, "a backup from long ago"));
        QVERIFY(WriteFile(m_path + u".compacting"_qs, "half a database"));
        QVERIFY(WriteFile(m_backup + u".new"_qs, "half a backup"));

        const std::optional<Failure> failure = Compact();
        QVERIFY2(!failure, qPrintable(DetailOf(failure)));
        QCOMPARE(Bytes(m_backup), before);
        QCOMPARE(Stored(u"PRAGMA integrity_check"_qs), u"ok"_qs);
        QCOMPARE(Stored(TestDatabase::RideFigures), figures);
        QVERIFY(QFileInfo(m_path).size() < before.size());
        QVERIFY2(Others().isEmpty(), qPrintable(Others().join(u", "_qs)));

        // A second run in a row backs up the first one's result.
        const QByteArray first = Bytes(m_path);
        QVERIFY(!Compact());
        QCOMPARE(Bytes(m_backup), first);
        QCOMPARE(Stored(TestDatabase::RideFigures), figures);
        QVERIFY(Others().isEmpty());

        // Two files, not two names of one: a change to the database leaves the backup alone.
        // And the counter came along: a new ride never gets a deleted ride's key.
        QCOMPARE(TestDatabase::Exec(m_path, u"DELETE FROM Uscite"_qs), QString());
        QCOMPARE(TestDatabase::InsertRide(m_path, u"2005-03-15"_qs, 1), QString());
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
        // The file size limit stands in for the disk: the copy fails part way,
        // after SQLite has made a journal beside it.
        QTest::newRow("disk full while copying")
            << u"full disk"_qs << u"OleFunction CompactDatabase exception."_qs;
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
        // Larger than SQLite's page cache, so the copy spills to its file before the end.
        if (fault == u"full disk")
            QCOMPARE(TestDatabase::FillRides(m_path, 40000, 3), QString());
        const QByteArray before = Bytes(m_path);

        std::optional<Failure> failure;
        {
            std::optional<ReadOnlyFolder> readOnly;
            if (fault == u"read-only")
                readOnly.emplace(m_folder);
            if (readOnly && !readOnly->done())
                QSKIP("this file system cannot make a folder read-only");
            std::optional<FileSizeLimit> fullDisk;
            if (fault == u"full disk")
                fullDisk.emplace(64 * 1024);
            failure = Compact();
        }
        QVERIFY(failure);
        QCOMPARE(failure->message, message);
        // The database could be had alone: no refusal the rider might simply retry.
        QVERIFY(failure->why != Exception::Why::Refused);
        QVERIFY2(fault != u"index" || failure->detail.startsWith(u"integrity check: "_qs), qPrintable(failure->detail));
        QCOMPARE(Bytes(m_path), before);
        QCOMPARE(Bytes(previous), QByteArray("the previous backup"));
        QVERIFY2(Others().isEmpty(), qPrintable(Others().join(u", "_qs)));
    }

    void otherConnectionLosesNothing_data()
    {
        QTest::addColumn<QString>("journal"); // as PRAGMA journal_mode names it
        QTest::addColumn<QString>("hold");    // what the other process does; "none": there is none
        QTest::addColumn<int>("releaseMs");   // when it lets go by itself; -1: after the run
        QTest::addColumn<int>("waitMs");      // the busy timeout of the connection in use
        QTest::addColumn<bool>("compacted");
        QTest::addColumn<bool>("keptOpen"); // the connection in use, after the run
        const QString rollback = u"delete"_qs, wal = u"wal"_qs;
        QTest::newRow("rollback journal: a ride committed during the run")
            << rollback << u"write"_qs << 500 << 10000 << true << false;
        QTest::newRow("rollback journal: a read during the run")
            << rollback << u"read"_qs << 500 << 10000 << true << false;
        QTest::newRow("rollback journal: a write outlasting the wait")
            << rollback << u"write"_qs << -1 << 300 << false << true;
        QTest::newRow("rollback journal: locked exclusively")
            << rollback << u"exclusive"_qs << -1 << 300 << false << true;
        // A WAL connection of another process would go on writing to a log
        // that belongs to the old file: the compaction does not start.
        QTest::newRow("WAL: a ride committed during the run") << wal << u"write"_qs << 500 << 10000 << false << false;
        QTest::newRow("WAL: open in another process") << wal << u"open"_qs << -1 << 10000 << false << false;
        QTest::newRow("WAL: nobody else") << wal << u"none"_qs << 0 << 10000 << true << false;
    }

    void otherConnectionLosesNothing()
    {
        QFETCH(QString, journal);
        QFETCH(QString, hold);
        QFETCH(int, releaseMs);
        QFETCH(int, waitMs);
        QFETCH(bool, compacted);
        QFETCH(bool, keptOpen);
        QCOMPARE(TestDatabase::Exec(m_path, u"PRAGMA journal_mode = "_qs + journal), QString());
        QVERIFY(WriteFile(m_backup, "the previous backup"));
        const QString figures = Stored(TestDatabase::RideFigures);

        TZTConnection inUse; // as the program holds it, opened before the other process came
        inUse.SetBusyTimeout(waitMs);
        inUse.Open(TestDatabase::ConnectionStringFor(m_path));
        QProcess holder;
        if (hold != u"none") {
            QVERIFY(DatabaseHolder::Start(holder, m_path, hold, releaseMs));
        }
        const std::optional<Failure> failure =
            FailureOf([&] { Compaction::CompactDatabase(Template, m_path, &inUse); });
        const bool wasOpen = inUse.IsOpen();
        inUse.Close();
        if (hold != u"none") {
            holder.write("\n");
            QVERIFY(holder.waitForFinished(30000));
            QCOMPARE(holder.readAll(), QByteArray("released\n"));
        }
        // Before the checks below, whose read-only connections leave a WAL's files behind.
        QVERIFY2(Others().isEmpty(), qPrintable(Others().join(u", "_qs)));

        QVERIFY2(!failure == compacted, qPrintable(DetailOf(failure)));
        if (failure) {
            QCOMPARE(failure->message, Compaction::RenameRefusedText);
            QVERIFY(failure->why == Exception::Why::Refused);
        }
        QCOMPARE(wasOpen, keptOpen);
        // Every ride is in the database, the other process's too, and the file is sound.
        QCOMPARE(Stored(u"PRAGMA integrity_check"_qs), u"ok"_qs);
        QCOMPARE(Stored(u"SELECT count(*) FROM Uscite WHERE Descrizione = '%1'"_qs.arg(DatabaseHolder::Ride)),
                 hold == u"write" ? u"1"_qs : u"0"_qs);
        QCOMPARE(TestDatabase::Exec(m_path, u"DELETE FROM Uscite WHERE Descrizione = '%1'"_qs.arg(DatabaseHolder::Ride)),
                 QString());
        QCOMPARE(Stored(TestDatabase::RideFigures), figures);
        QCOMPARE(Stored(u"PRAGMA journal_mode"_qs), journal);
        QCOMPARE(Bytes(m_backup) == "the previous backup", !compacted);
    }

    void linkedDatabaseStaysWhereItLies_data()
    {
        // What the link at the database path says; %1 is the temporary folder,
        // whose "elsewhere/rides.mdb" is the file, and "elsewhere/latest.mdb" a link to it.
        QTest::addColumn<QString>("link");
        QTest::newRow("link to another folder") << u"%1/elsewhere/rides.mdb"_qs;
        QTest::newRow("relative link") << u"../elsewhere/rides.mdb"_qs;
        QTest::newRow("link to a link") << u"%1/elsewhere/latest.mdb"_qs;
    }

    void linkedDatabaseStaysWhereItLies()
    {
        QFETCH(QString, link);
        const QString elsewhere = m_dir.filePath(u"elsewhere"_qs);
        QVERIFY(QDir(elsewhere).removeRecursively() && QDir().mkpath(elsewhere));
        const QString real = QDir(elsewhere).filePath(u"rides.mdb"_qs);
        QVERIFY(QFile::rename(m_path, real));
        QVERIFY(QFile::link(real, QDir(elsewhere).filePath(u"latest.mdb"_qs)));
        link.replace(u"%1"_qs, m_dir.path());
        QVERIFY(::symlink(QFile::encodeName(link).constData(), QFile::encodeName(m_path).constData()) == 0);
        const QByteArray before = Bytes(real);
        const QString figures = Stored(TestDatabase::RideFigures);

        const std::optional<Failure> failure = Compact();
        QVERIFY2(!failure, qPrintable(DetailOf(failure)));
        QCOMPARE(LinkText(m_path), link);
        QVERIFY(!QFileInfo::exists(m_backup));
        QVERIFY(QFileInfo(real).size() < before.size());
        QCOMPARE(TestDatabase::Scalar(real, TestDatabase::RideFigures), figures);
        // The backup and the work files lie beside the real file.
        QCOMPARE(Bytes(QDir(elsewhere).filePath(u"rides.mdbbak"_qs)), before);
        QCOMPARE(QDir(elsewhere).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 (QStringList{u"latest.mdb"_qs, u"rides.mdb"_qs, u"rides.mdbbak"_qs}));
        QVERIFY2(Others().isEmpty(), qPrintable(Others().join(u", "_qs)));
        // A ride saved through the link reaches the real file.
        QCOMPARE(TestDatabase::InsertRide(m_path, u"2005-03-15"_qs, 1), QString());
        QCOMPARE(TestDatabase::Scalar(real, u"SELECT count(*) FROM Uscite WHERE Data = '2005-03-15'"_qs), u"1"_qs);
    }

    void compactedFileKeepsItsAccess_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("otherOwner"); // owned by someone else, group of another user
        QTest::newRow("private") << 0600 << false;
        QTest::newRow("readable by the group") << 0640 << false;
        QTest::newRow("read-only") << 0444 << false;
        QTest::newRow("shared with a group") << 0660 << true;
        QTest::newRow("another rider's, private") << 0600 << true;
    }

    void compactedFileKeepsItsAccess()
    {
        QFETCH(int, mode);
        QFETCH(bool, otherOwner);
        if (otherOwner && geteuid() != 0)
            QSKIP("only root can give a file to another user");
        if (otherOwner)
            QVERIFY(::chown(QFile::encodeName(m_path).constData(), 65534, 65533) == 0);
        QVERIFY(::chmod(QFile::encodeName(m_path).constData(), mode_t(mode)) == 0);
        const Access before = AccessOf(m_path);
        QCOMPARE(before.mode, mode_t(mode));

        const QByteArray bytes = Bytes(m_path);
        const std::optional<Failure> failure = Compact();
        QVERIFY2(!failure, qPrintable(DetailOf(failure)));
        QVERIFY(Bytes(m_path) != bytes);
        QCOMPARE(AccessOf(m_path), before);
        QCOMPARE(AccessOf(m_backup), before);
    }

    void killedCompactionKeepsEveryRide()
    {
        QCOMPARE(TestDatabase::FillRides(m_path, 240000, 3), QString());
        const QString figures = Stored(TestDatabase::RideFigures);
        // A previous backup one ride short, to tell it from the new one.
        QVERIFY(QFile::copy(m_path, m_backup));
        QCOMPARE(TestDatabase::Exec(m_backup, u"DELETE FROM Uscite WHERE IDUscita = "
                                              "(SELECT max(IDUscita) FROM Uscite)"_qs),
                 QString());
        const QString previousFigures = TestDatabase::Scalar(m_backup, TestDatabase::RideFigures);
        const QString pristine = m_dir.filePath(u"pristine.mdb"_qs);
        const QString pristineBackup = m_dir.filePath(u"pristine.mdbbak"_qs);
        QVERIFY(QFile::copy(m_path, pristine) && QFile::copy(m_backup, pristineBackup));

        // Every run on fresh copies of both files.
        int sawOld = 0;
        KilledChild::Runs runs;
        runs.arguments = {ChildSwitch, m_path};
        runs.prepare = [&] {
            for (const QString& name : QDir(m_folder).entryList(QDir::Files))
                QVERIFY(QFile::remove(QDir(m_folder).filePath(name)));
            QVERIFY(QFile::copy(pristine, m_path) && QFile::copy(pristineBackup, m_backup));
        };
        runs.kills = 16;
        runs.killed = [&](int k) {
            const QByteArray at = "kill " + QByteArray::number(k);
            TZTConnection().Open(TestDatabase::ConnectionStringFor(m_path));
            QVERIFY2(Stored(u"PRAGMA integrity_check"_qs) == u"ok"_qs && Stored(TestDatabase::RideFigures) == figures, at);
            const QString backup = TestDatabase::Scalar(m_backup, TestDatabase::RideFigures);
            QVERIFY2(backup == previousFigures || backup == figures, at);
            sawOld += backup == previousFigures;
            // A run after the kill clears what it left and succeeds.
            if (k % 4 == 0) {
                QVERIFY2(!Compact(), at);
                QVERIFY2(Stored(TestDatabase::RideFigures) == figures && Others().isEmpty(), at);
            }
        };
        KilledChild::Run(runs);
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(sawOld >= runs.kills / 2,
                 qPrintable(QStringLiteral("%1 of %2 kills came before the end").arg(sawOld).arg(runs.kills)));
    }
};

int main(int argc, char* argv[])
{
    if (argc == 3 && QString::fromLocal8Bit(argv[1]) == ChildSwitch) {
        // The child of the fault test: says "go" just before it compacts.
        KilledChild::SayGo();
        Compaction::CompactDatabase(Template, QString::fromLocal8Bit(argv[2]));
        return 0;
    }
    if (argc > 1 && QString::fromLocal8Bit(argv[1]) == DatabaseHolder::Switch)
        return DatabaseHolder::Main(argc, argv);
    QCoreApplication app(argc, argv);
    TestCompaction test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_compaction.moc"
