// Maintenance benchmark: the ".dat" import and the compaction, each timed
// against the same database work done directly on the SQLite C API.
//
//   bench_maintenance [rides]     (default 1,000,000; at least 1,000)
//
// The compaction runs on a database of `rides` rides (a tenth of them deleted
// first, so there is something to compact); the import reads rides / 10 lines
// in 100 files (100,000 lines by default) into an empty database.
//
// A missed goal is reported, not failed: the exit code is 0 whenever the
// measurement itself could be made and every path stored the same rows.

#include "bench/BenchSupport.h"
#include "data/TZTConnection.h"
#include "tools/Compaction.h"
#include "tools/DatFile.h"
#include "tools/DatImport.h"
#include "tools/DurableFiles.h"
#include "util/Windows1252.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr qint64 MinimumRides = 1000;
constexpr int ImportFiles = 100;
constexpr int ImportRuns = 5;
constexpr int CompactionRuns = 3;
constexpr double ImportGoal = 1.5;
constexpr double CompactionGoal = 1.2;

std::string SameRows(const QString& a, const QString& b)
{
    return a == b ? "same rows" : "ROWS DIFFER";
}

double SizeMb(const QString& path)
{
    return QFileInfo(path).size() / 1e6;
}

// The database to compact: the benchmarks' rides, a tenth of them deleted so
// that free pages are scattered through the file, which is what compaction is for.
void CreateLog(const QString& path, qint64 rides)
{
    Bench::CreateDatabase(path, rides);
    const Bench::Database db = Bench::OpenDatabase(path);
    Bench::Exec(db.get(), "DELETE FROM Uscite WHERE IDUscita % 10 = 3");
}

// `lines` rides in ImportFiles monthly files from January 1990 on, Windows-1252
// encoded with CR LF line ends, as the older log wrote them.
void WriteDatFiles(const QString& folder, qint64 lines)
{
    QDir().mkpath(folder);
    Bench::Random random;
    for (int f = 0; f < ImportFiles; ++f) {
        const int month = f % 12 + 1, year = 1990 + f / 12;
        const qint64 count = lines / ImportFiles + (f < lines % ImportFiles ? 1 : 0);
        QByteArray text;
        for (qint64 i = 0; i < count; ++i) {
            const int day = random.Below(28) + 1;
            text += QByteArray::number(day).rightJustified(2, '0') + ' ' + QByteArray::number(random.Below(2000))
                    + '.' + QByteArray::number(random.Below(10)) + ' '
                    + QByteArray(Bench::RandomDescription(random)).replace("à", "\xe0") + '^'
                    + QByteArray::number(random.Below(6) + 1) + "\r\n";
        }
        QFile file(QDir(folder).filePath(QStringLiteral("%1%2.dat").arg(month, 2, 10, QChar(u'0')).arg(year)));
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            throw std::runtime_error("cannot write the .dat files");
    }
}

struct ParsedRide
{
    DatFile::Ride ride;
    QByteArray date;
    QByteArray description;
};

// The files read and parsed as the import reads them, in date order.
std::vector<ParsedRide> ReadDatFiles(const QString& folder)
{
    std::vector<std::pair<DatFile::Month, QString>> files;
    for (const QFileInfo& info : QDir(folder).entryInfoList({QStringLiteral("*.dat")}, QDir::Files, QDir::Name)) {
        DatFile::Month month;
        if (!DatFile::ParseName(info.fileName(), month))
            throw std::runtime_error("bad file name");
        files.emplace_back(month, info.filePath());
    }
    std::stable_sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<ParsedRide> rides;
    for (const auto& [month, path] : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw std::runtime_error("cannot read a .dat file");
        for (const QString& line : DatFile::SplitLines(DecodeWindows1252(file.readAll()))) {
            ParsedRide parsed;
            if (const std::optional<QString> fault = DatFile::ParseLine(line, month, parsed.ride))
                throw std::runtime_error(fault->toStdString());
            parsed.date = parsed.ride.date.ToQDate().toString(Qt::ISODate).toLatin1();
            parsed.description = parsed.ride.description.toUtf8();
            rides.push_back(std::move(parsed));
        }
    }
    return rides;
}

// The rows the import stores, with one prepared statement in one transaction,
// on a connection opened as the program opens it.
void InsertRaw(const QString& path, const std::vector<ParsedRide>& rides)
{
    const Bench::Database db = Bench::OpenDatabase(path);
    Bench::Exec(db.get(), "PRAGMA foreign_keys = ON");
    Bench::Exec(db.get(), "BEGIN IMMEDIATE");
    {
        const Statement insert = Bench::Prepare(db.get(), QStringLiteral("INSERT INTO Uscite (IDTipoUscita, Data, "
                                                                         "Descrizione, KM, Note) VALUES (?, ?, ?, ?, '')"));
        sqlite3_stmt* const row = insert.get();
        for (const ParsedRide& r : rides) {
            sqlite3_bind_int(row, 1, r.ride.typeCode - 1);
            sqlite3_bind_text(row, 2, r.date.constData(), int(r.date.size()), SQLITE_STATIC);
            sqlite3_bind_text(row, 3, r.description.constData(), int(r.description.size()), SQLITE_STATIC);
            sqlite3_bind_double(row, 4, r.ride.km);
            Bench::Step(row);
            sqlite3_reset(row);
        }
    }
    Bench::Exec(db.get(), "COMMIT");
}

}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    return Bench::Main(argc, argv, [&](qint64 rides, const QTemporaryDir& dir) {
        if (rides < MinimumRides)
            throw std::runtime_error("usage: bench_maintenance [number of rides >= 1000]");
        const qint64 lines = rides / 10;
        const QString empty = dir.filePath(QStringLiteral("empty.mdb"));
        Bench::CreateDatabase(empty, 0);
        const QString log = dir.filePath(QStringLiteral("log.mdb"));
        CreateLog(log, rides);
        const QString folder = dir.filePath(QStringLiteral("dat"));
        WriteDatFiles(folder, lines);
        std::printf("Kept %lld rides after deleting a tenth (%.1f MB); wrote %lld .dat lines in %d files\n",
                    rides - rides / 10, SizeMb(log), lines, ImportFiles);

        const QString work = dir.filePath(QStringLiteral("work.mdb"));
        const QString compacted = dir.filePath(QStringLiteral("raw-compacted.mdb"));
        // Every timed run starts from a fresh copy, with no file left by the one before.
        const auto fresh = [&](const QString& from) {
            for (const QString& stale : {work, Compaction::BackupPath(work), compacted})
                QFile::remove(stale);
            if (!QFile::copy(from, work))
                throw std::runtime_error("cannot copy " + from.toStdString());
        };

        // Import: the whole command's work against reading the same files the
        // same way and inserting the rows with one prepared statement; and,
        // for reference, those inserts alone from rows parsed beforehand.
        const auto importOurs = [&] {
            TZTConnection connection;
            connection.Open(Bench::ConnectionString(work));
            const DatImportResult result = DatImport::ImportFolder(connection, folder);
            if (result.rides != lines)
                throw std::runtime_error("the import failed");
        };
        std::vector<double> importMs, rawImportMs, insertsMs;
        QString importRows, rawImportRows, insertsRows;
        fresh(empty);
        importOurs(); // warm-up
        for (int i = 0; i < ImportRuns; ++i) {
            fresh(empty);
            importMs.push_back(Bench::TimeMs(importOurs));
            importRows = Bench::Fingerprint(work);
            fresh(empty);
            rawImportMs.push_back(Bench::TimeMs([&] { InsertRaw(work, ReadDatFiles(folder)); }));
            rawImportRows = Bench::Fingerprint(work);
            fresh(empty);
            const std::vector<ParsedRide> parsed = ReadDatFiles(folder);
            insertsMs.push_back(Bench::TimeMs([&] { InsertRaw(work, parsed); }));
            insertsRows = Bench::Fingerprint(work);
        }

        // Compaction: the whole command's work against raw SQLite taking the
        // same three steps (the copy, its flush to disk, its integrity check);
        // and, for reference, each step alone and the command against the bare copy.
        std::vector<double> compactionMs, rawCompactionMs, flushMs, checkMs, rawStepsMs;
        QString compactedRows, rawCompactedRows;
        double compactedMb = 0.0;
        for (int i = 0; i < CompactionRuns; ++i) {
            fresh(log);
            compactionMs.push_back(Bench::TimeMs([&] {
                Compaction::CompactDatabase(Bench::ConnectionTemplate(), work);
            }));
            compactedRows = Bench::Fingerprint(work);
            compactedMb = SizeMb(work);
            fresh(log);
            rawCompactionMs.push_back(Bench::TimeMs([&] {
                const Bench::Database db = Bench::OpenDatabase(work);
                Bench::Exec(db.get(), QStringLiteral("VACUUM INTO '%1'").arg(compacted).toUtf8().constData());
            }));
            flushMs.push_back(Bench::TimeMs([&] { DurableFiles::SyncFile(compacted); }));
            rawCompactedRows = Bench::Fingerprint(compacted);
            checkMs.push_back(Bench::TimeMs([&] {
                const Bench::Database db = Bench::OpenDatabase(compacted, Bench::OpenMode::ReadOnly);
                Bench::Exec(db.get(), "PRAGMA integrity_check");
            }));
            rawStepsMs.push_back(rawCompactionMs.back() + flushMs.back() + checkMs.back());
        }

        using Bench::Median;
        using Goal = Bench::Result::Goal;
        Bench::PrintTable(
            "Maintenance: import of " + std::to_string(lines) + " .dat lines, compaction of " + std::to_string(rides)
                + " rides (a tenth deleted)",
            {{"import (raw: parse + insert)", ImportRuns, Median(importMs), Median(rawImportMs), Goal::RatioAtMost,
              ImportGoal, "ms", SameRows(importRows, rawImportRows)},
             {"  import vs the raw inserts alone, rows parsed", ImportRuns, Median(importMs), Median(insertsMs),
              Goal::None, 0.0, "ms", SameRows(importRows, insertsRows)},
             {"compaction (raw: VACUUM INTO + flush + check)", CompactionRuns, Median(compactionMs),
              Median(rawStepsMs), Goal::RatioAtMost, CompactionGoal, "ms", SameRows(compactedRows, rawCompactedRows)},
             {"  compaction vs the bare VACUUM INTO", CompactionRuns, Median(compactionMs), Median(rawCompactionMs),
              Goal::None, 0.0, "ms", SameRows(compactedRows, rawCompactedRows)},
             {"  flush of the raw copy (VACUUM INTO did it)", CompactionRuns, Median(flushMs)},
             {"  integrity_check of the raw compacted file", CompactionRuns, Median(checkMs)},
             {"database file before compaction", 1, SizeMb(log), {}, Goal::None, 0.0, "MB"},
             {"database file after compaction", 1, compactedMb, SizeMb(compacted), Goal::None, 0.0, "MB"}});
        if (importRows != rawImportRows || importRows != insertsRows || compactedRows != rawCompactedRows)
            throw std::runtime_error("our paths and the raw ones stored different rows");
    });
}
