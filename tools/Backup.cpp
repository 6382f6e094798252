#include "tools/Backup.h"

#include "data/Rides.h"
#include "data/TZTConnection.h"
#include "tools/CheckedCopy.h"
#include "tools/Compaction.h"
#include "tools/DurableFiles.h"
#include "tools/ExclusiveHold.h"
#include "tools/TemporaryName.h"
#include "util/Exception.h"
#include "util/Settings.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <future>

#include <sys/stat.h>

namespace {

const QString InUseText = QStringLiteral("il database è in uso da un altro processo");
const QString UnreadableText = QStringLiteral("il database non si apre");
const QString NotWrittenText = QStringLiteral("impossibile scrivere il backup");
const QString NotSoundText = QStringLiteral("la copia non ha superato la verifica di integrità");
const QString ChosenDamagedText = QStringLiteral("il backup scelto è danneggiato");
const QString ChosenOtherShapeText = QStringLiteral("il backup scelto non è un diario compatibile");
const QString CurrentNotSavedText = QStringLiteral("impossibile salvare il database attuale come backup");
const QString NotReplacedText = QStringLiteral("impossibile sostituire il database");

const QString TimeFormat = QStringLiteral("yyyyMMdd-HHmmss");

[[noreturn]] void Fail(const QString& reason, const QString& detail,
                       Exception::Why why = Exception::Why::Failed)
{
    throw Exception(QStringLiteral("%1 (%2).").arg(reason, detail), why, detail);
}

// Runs one step of the work; its failure is told as `reason`, with the
// step's own words after it.
template <class Step>
void Telling(const QString& reason, Step step)
{
    try {
        step();
    } catch (const Exception& e) {
        Fail(reason, e.Message(), e.Reason());
    }
}

// Where the backups of one database go, and what they are called.
struct Place
{
    explicit Place(const QString& dataSource)
        : database(CheckedCopy::RealFile(dataSource)),
          folder(QFileInfo(database).dir().filePath(QStringLiteral("backup"))),
          base(QFileInfo(database).completeBaseName())
    {
    }

    QString Path(const QString& name) const { return QDir(folder).filePath(name); }
    QString NameAt(const QDateTime& time) const
    {
        return base + u'-' + time.toString(TimeFormat) + QStringLiteral(".mdb");
    }
    // The time in a backup's name; invalid for any other file.
    QDateTime TimeOf(const QString& name) const
    {
        static const QRegularExpression pattern(QStringLiteral("^(.*)-(\\d{8}-\\d{6})\\.mdb$"));
        const QRegularExpressionMatch match = pattern.match(name);
        if (!match.hasMatch() || match.captured(1) != base)
            return {};
        return QDateTime::fromString(match.captured(2), TimeFormat);
    }
    // Newest first: the names sort as their times do.
    QStringList Backups() const
    {
        QStringList names;
        for (const QString& name : QDir(folder).entryList(QDir::Files, QDir::Name | QDir::Reversed))
            if (TimeOf(name).isValid())
                names.append(name);
        return names;
    }
    // The record of what the newest backup was taken from.
    QString StampPath() const { return Path(QStringLiteral(".ultimo-backup")); }

    QString database;
    QString folder;
    QString base;
};

// Which file the database is and how it was last written. Only metadata: a
// descriptor opened and closed on the database would drop the locks SQLite
// holds on it in this process.
QString FileStamp(const QString& path)
{
    struct stat info{};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return QStringLiteral("%1 %2 %3 %4.%5")
        .arg(quint64(info.st_dev))
        .arg(quint64(info.st_ino))
        .arg(qint64(info.st_size))
        .arg(qint64(info.st_mtim.tv_sec))
        .arg(qint64(info.st_mtim.tv_nsec));
}

QString StampLine(const Place& place, const QString& newest)
{
    return newest + u'\t' + FileStamp(place.database);
}

// A lost or stale record only makes the next close back up again.
void WriteStamp(const Place& place, const QString& newest)
{
    QSaveFile file(place.StampPath());
    if (file.open(QIODevice::WriteOnly))
        file.write(StampLine(place, newest).toUtf8());
    file.commit();
}

// A name no file has yet: two backups in one second get the next second's.
QString FreeName(const Place& place, const QDateTime& now)
{
    QDateTime time = now;
    while (QFileInfo::exists(place.Path(place.NameAt(time))))
        time = time.addSecs(1);
    return place.NameAt(time);
}

// Only once the new backup is in place; it stays, whatever the others' names
// say (a clock set back gives older names to newer backups).
void Rotate(const Place& place, const QString& kept)
{
    QStringList others = place.Backups();
    others.removeAll(kept);
    for (qsizetype i = Backup::Kept - 1; i < others.size(); ++i)
        QFile::remove(place.Path(others[i]));
    DurableFiles::SyncFolder(place.folder);
}

// The held database copied into a new backup, which then takes its name,
// returned. `notWritten` and `notSound` tell its failures.
QString WriteBackup(ExclusiveHold& hold, const Place& place, const QString& connectionTemplate,
                    const QDateTime& now, const QString& notWritten, const QString& notSound)
{
    if (!QDir().mkpath(place.folder))
        Fail(notWritten, QStringLiteral("cannot make the folder '%1'").arg(place.folder));
    const QString workPath = place.Path(place.base + QStringLiteral(".backup-in-corso"));
    TemporaryName work(workPath, TemporaryName::SqliteCompanions(workPath));
    work.RemoveLeftovers();
    Telling(notWritten, [&] {
        hold.Connection().BackupTo(work.path());
        // A private ride log keeps private backups.
        DurableFiles::CopyAccess(place.database, work.path());
    });
    Telling(notSound, [&] { CheckedCopy::FlushAndCheck(connectionTemplate, work.path()); });
    const QString name = FreeName(place, now);
    Telling(notWritten, [&] { DurableFiles::Replace(work.path(), place.Path(name)); });
    work.Keep();
    Rotate(place, name);
    // Leaving WAL mode for the hold rewrote the file: the record waits for
    // the hold to end and the mode to be back.
    if (!hold.LeftWalMode())
        WriteStamp(place, name);
    return name;
}

void TakeHold(ExclusiveHold& hold, TZTConnection* inUse)
{
    try {
        hold.Take(inUse);
    } catch (const Exception& e) {
        Fail(e.Reason() == Exception::Why::Refused ? InUseText : UnreadableText, e.Message(), e.Reason());
    }
}

// `chosen` copied into `work`, in the database's journal mode, and checked.
void CopyChosen(const ExclusiveHold& hold, const Place& place, const QString& connectionTemplate,
                const QString& chosen, const QString& work)
{
    const auto connectionString = [&](const QString& path) {
        return SettingsFile::ExpandConnectionString(connectionTemplate, path);
    };
    CheckedCopy::FileAsItLies source;
    try {
        source.Open(connectionTemplate, chosen);
        source.Connection().BackupTo(work);
        source.Connection().Close();
        // A copy of a WAL database is one too; it is checked without a log.
        CheckedCopy::UseRollbackJournal(connectionString(work));
    } catch (const Exception& e) {
        Fail(e.Reason() == Exception::Why::OtherShape ? ChosenOtherShapeText : ChosenDamagedText, e.Message());
    }
    Telling(NotReplacedText, [&] { DurableFiles::CopyAccess(place.database, work); });
    Telling(ChosenDamagedText, [&] { CheckedCopy::FlushAndCheck(connectionTemplate, work); });
    if (hold.LeftWalMode())
        Telling(NotReplacedText, [&] { CheckedCopy::UseWriteAheadLog(connectionString(work)); });
}

void Inspect(Backup::Entry& entry, const QString& connectionTemplate)
{
    CheckedCopy::FileAsItLies file;
    // A backup that does not open or fails the check is part of the answer:
    // the list shows it as damaged.
    try {
        file.Open(connectionTemplate, entry.path);
        CheckedCopy::CheckIntegrity(file.Connection());
        const Rides::Totals totals = Rides::ReadTotals(file.Connection());
        entry.rides = totals.rides;
        entry.km = totals.km;
    } catch (const Exception& e) {
        entry.problem = e.Message();
        entry.otherShape = e.Reason() == Exception::Why::OtherShape;
    }
    entry.damaged = !entry.problem.isEmpty();
}

// Where versions before the state folder kept the note.
QString OldFailureNotePath(const QString& dataSource)
{
    return SettingsFile::SiblingPath(dataSource, QStringLiteral(".backup-non-riuscito.txt"));
}

// Each check reads a whole file: they run side by side.
void InspectAll(std::vector<Backup::Entry>& entries, const QString& connectionTemplate)
{
    std::atomic<size_t> next = 0;
    const auto worker = [&] {
        for (size_t i; (i = next++) < entries.size();)
            Inspect(entries[i], connectionTemplate);
    };
    std::vector<std::future<void>> workers;
    const size_t count = std::min(entries.size(), size_t(std::max(1, QThread::idealThreadCount())));
    for (size_t i = 0; i < count; ++i)
        workers.push_back(std::async(std::launch::async, worker));
    for (std::future<void>& finished : workers)
        finished.get();
}

}

namespace Backup {

QString Folder(const QString& dataSource)
{
    return Place(dataSource).folder;
}

bool NeedsBackup(const QString& dataSource)
{
    const Place place(dataSource);
    const QStringList backups = place.Backups();
    if (backups.isEmpty() || QFileInfo(place.database + QStringLiteral("-wal")).size() > 0)
        return true;
    QFile stamp(place.StampPath());
    return !stamp.open(QIODevice::ReadOnly) || QString::fromUtf8(stamp.readAll()) != StampLine(place, backups.first());
}

QString MakeBackup(const QString& connectionTemplate, const QString& dataSource, const QDateTime& now,
                   TZTConnection* inUse)
{
    const Place place(dataSource);
    QString written;
    bool walMode = false;
    {
        ExclusiveHold hold(connectionTemplate, place.database);
        TakeHold(hold, inUse);
        written = WriteBackup(hold, place, connectionTemplate, now, NotWrittenText, NotSoundText);
        walMode = hold.LeftWalMode();
    }
    if (walMode)
        WriteStamp(place, written);
    return place.Path(written);
}

std::vector<Entry> List(const QString& connectionTemplate, const QString& dataSource)
{
    const Place place(dataSource);
    std::vector<Entry> entries;
    const auto add = [&](const QString& path, const QDateTime& taken, bool compaction) {
        const QFileInfo file(path);
        if (!file.isFile())
            return;
        Entry entry;
        entry.path = path;
        entry.taken = taken;
        entry.compaction = compaction;
        entry.bytes = file.size();
        entries.push_back(entry);
    };
    for (const QString& name : place.Backups())
        add(place.Path(name), place.TimeOf(name), false);
    const QString compacted = Compaction::BackupPath(place.database);
    add(compacted, QFileInfo(compacted).lastModified(), true);
    InspectAll(entries, connectionTemplate);
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.taken > b.taken; });
    return entries;
}

void Restore(const QString& connectionTemplate, const QString& dataSource, const QString& chosen,
             const QDateTime& now, TZTConnection* inUse)
{
    const Place place(dataSource);
    const QString workPath = place.database + QStringLiteral(".restoring");
    TemporaryName work(workPath, TemporaryName::SqliteCompanions(workPath));
    work.RemoveLeftovers();
    ExclusiveHold hold(connectionTemplate, place.database);
    TakeHold(hold, inUse);
    // The copy first: the backup of the database as it is may rotate the chosen file away.
    CopyChosen(hold, place, connectionTemplate, chosen, work.path());
    WriteBackup(hold, place, connectionTemplate, now, CurrentNotSavedText, CurrentNotSavedText);
    Telling(NotReplacedText, [&] { DurableFiles::Replace(work.path(), place.database); });
    work.Keep();
    // The old file is gone, and the copy already has the database's mode.
    hold.ReturnWalModeTo(QString());
    DurableFiles::SyncFolder(QFileInfo(place.database).absolutePath());
}

QString FailureNotePath(const QString& dataSource)
{
    // Qt names the state folder only from 6.7 on: the XDG rule, by hand.
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    // One note for each log the user keeps, named after where the log lies.
    const QByteArray place = QFile::encodeName(Place(dataSource).database);
    const QString key = QString::fromLatin1(QCryptographicHash::hash(place, QCryptographicHash::Sha1).toHex().left(16));
    return QDir(state).filePath(QStringLiteral("kilovento/backup-non-riuscito-%1.txt").arg(key));
}

void WriteFailureNote(const QString& dataSource, const QString& reason)
{
    const QString path = FailureNotePath(dataSource);
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(reason.toUtf8());
    file.commit();
}

bool HasFailureNote(const QString& dataSource)
{
    return QFileInfo::exists(FailureNotePath(dataSource)) || QFileInfo::exists(OldFailureNotePath(dataSource));
}

QString TakeFailureNote(const QString& dataSource)
{
    QString reason;
    for (const QString& path : {FailureNotePath(dataSource), OldFailureNotePath(dataSource)}) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        // The newest, this version's, is told; an older version's beside it is stale.
        if (reason.isEmpty())
            reason = QString::fromUtf8(file.readAll());
        file.remove();
    }
    return reason;
}

}
