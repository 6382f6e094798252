// Backup benchmark: the program's automatic backup of the ride database
// against the same copy made directly on the SQLite C API.
//
//   bench_backup [rides]     (default 1,000,000; at least 1,000)
//
// Ours: Backup::MakeBackup, with the database held exclusively, the copy
// flushed to disk and checked, renamed into the backup folder, the folder
// rotated. Raw: the online backup API into a new file (which SQLite flushes
// when the copy commits) and PRAGMA integrity_check on the copy.
//
// A missed goal is reported, not failed: the exit code is 0 whenever the
// measurement itself could be made and both paths copied the same rows.

#include "bench/BenchSupport.h"
#include "tools/Backup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr qint64 MinimumRides = 1000;
constexpr int Runs = 5;
constexpr double Goal = 1.2;

void RawBackup(const QString& from, const QString& to)
{
    {
        const Bench::Database source = Bench::OpenDatabase(from);
        const Bench::Database copy = Bench::OpenDatabase(to, Bench::OpenMode::Create);
        sqlite3_backup* backup = sqlite3_backup_init(copy.get(), "main", source.get(), "main");
        if (!backup)
            throw std::runtime_error(sqlite3_errmsg(copy.get()));
        sqlite3_backup_step(backup, -1);
        Bench::Check(copy.get(), sqlite3_backup_finish(backup), "backup");
    }
    const Bench::Database check = Bench::OpenDatabase(to, Bench::OpenMode::ReadOnly);
    const Statement result = Bench::Prepare(check.get(), QStringLiteral("PRAGMA integrity_check"));
    if (!Bench::Step(result.get()) || Bench::RawString(result.get(), 0) != u"ok")
        throw std::runtime_error("the raw copy is not sound");
}

}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    return Bench::Main(argc, argv, [&](qint64 rides, const QTemporaryDir& dir) {
        if (rides < MinimumRides)
            throw std::runtime_error("usage: bench_backup [number of rides >= 1000]");
        const QString database = dir.filePath(QStringLiteral("kilovento.mdb"));
        Bench::CreateDatabase(database, rides);
        const QString folder = Backup::Folder(database);
        const QString raw = dir.filePath(QStringLiteral("raw-backup.mdb"));
        const QString expected = Bench::Fingerprint(database);

        std::vector<double> oursMs, rawMs;
        QString oursRows, rawRows;
        QDateTime taken(QDate(2005, 3, 15), QTime(12, 0));
        RawBackup(database, raw); // warm-up: the database in the page cache for both
        for (int i = 0; i < Runs; ++i) {
            // Every run writes a new backup; the rotation stays within its ten.
            taken = taken.addSecs(60);
            oursMs.push_back(Bench::TimeMs([&] {
                Backup::MakeBackup(Bench::ConnectionTemplate(), database, taken);
            }));
            const QStringList made = QDir(folder).entryList({QStringLiteral("kilovento-*.mdb")}, QDir::Files,
                                                            QDir::Name | QDir::Reversed);
            oursRows = made.isEmpty() ? QString() : Bench::Fingerprint(QDir(folder).filePath(made.first()));
            QFile::remove(raw);
            rawMs.push_back(Bench::TimeMs([&] { RawBackup(database, raw); }));
            rawRows = Bench::Fingerprint(raw);
        }
        const bool same = oursRows == expected && rawRows == expected;

        using Goal = Bench::Result::Goal;
        Bench::PrintTable("Backup of " + std::to_string(rides) + " rides",
                          {{"backup (raw: backup API + check)", Runs, Bench::Median(oursMs),
                            Bench::Median(rawMs), Goal::RatioAtMost, ::Goal, "ms", same ? "same rows" : "ROWS DIFFER"},
                           {"database file", 1, QFileInfo(database).size() / 1e6, {}, Goal::None, 0.0, "MB"}});
        if (!same)
            throw std::runtime_error("the backups do not hold the database's rows");
    });
}
