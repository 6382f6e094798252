// Maintenance benchmark: the ".dat" import and the compaction, each timed
// against the same database work done directly on the SQLite C API.
//
//   bench_maintenance [rides]     (default 1,000,000)
//
// The compaction runs on a database of `rides` rides (a tenth of them deleted
// first, so there is something to compact); the import reads rides / 10 lines
// in 100 files (100,000 lines by default) into an empty database.
//
// A missed goal is reported, not failed: the exit code is 0 whenever the
// measurement itself could be made.

#include "data/TZTConnection.h"
#include "tools/Compaction.h"
#include "tools/DatFile.h"
#include "tools/DatImport.h"
#include "tools/DurableFiles.h"
#include "tools/Windows1252.h"
#include "util/Exception.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr qint64 DefaultRides = 1000000;
constexpr int ImportFiles = 100;
constexpr double ImportGoal = 1.5;
constexpr double CompactionGoal = 1.2;
const QString Template = QStringLiteral("Provider=SQLite;Data Source=%DATASOURCE%");
// The same figures for both paths, so a path that loses or changes rows shows up.
const char* const Fingerprint =
    "SELECT count(*) || ' ' || total(KM) || ' ' || total(IDTipoUscita) || ' ' || total(length(Descrizione)) "
    "|| ' ' || ifnull(max(Data), '') FROM Uscite";

using Database = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;

void Check(sqlite3* db, int rc, const char* what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

Database OpenRaw(const QString& path, int flags = SQLITE_OPEN_READWRITE)
{
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr);
    Database guard(db, &sqlite3_close);
    Check(db, rc, "open");
    return guard;
}

void Exec(sqlite3* db, const char* sql)
{
    Check(db, sqlite3_exec(db, sql, nullptr, nullptr, nullptr), sql);
}

std::string Scalar(const QString& path, const char* sql)
{
    const Database db = OpenRaw(path, SQLITE_OPEN_READONLY);
    sqlite3_stmt* stmt = nullptr;
    Check(db.get(), sqlite3_prepare_v2(db.get(), sql, -1, &stmt, nullptr), sql);
    std::string value;
    if (sqlite3_step(stmt) == SQLITE_ROW)
        value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    sqlite3_finalize(stmt);
    return value;
}

void ExecFile(sqlite3* db, const char* path)
{
    QFile file(QString::fromUtf8(path));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(std::string("cannot read ") + path);
    Exec(db, file.readAll().constData());
}

void CopyFresh(const QString& from, const QString& to)
{
    QFile::remove(to);
    if (!QFile::copy(from, to))
        throw std::runtime_error("cannot copy " + from.toStdString());
}

QString EmptyDatabase(const QTemporaryDir& dir)
{
    const QString path = dir.filePath(QStringLiteral("empty.mdb"));
    const Database db = OpenRaw(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    ExecFile(db.get(), KV_SCHEMA_SQL);
    ExecFile(db.get(), KV_TYPES_SQL);
    return path;
}

// A fixed-seed generator, so every run fills the same database.
struct Random
{
    quint64 state = 0x9E3779B97F4A7C15ull;
    quint64 Next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    int Below(int n) { return int(Next() % quint64(n)); }
};

const char* const Descriptions[] = {
    "Giro del lago", "Salita al passo", "Uscita con il gruppo", "Allenamento", "Recupero",
    "Gran fondo", "Giro in città", "Rulli", "Colline", "Lungo della domenica",
};

QString LogDatabase(const QTemporaryDir& dir, const QString& empty, qint64 rides)
{
    const QString path = dir.filePath(QStringLiteral("log.mdb"));
    CopyFresh(empty, path);
    const Database db = OpenRaw(path);
    const QDate first(1990, 1, 1), last(2026, 12, 31);
    const qint64 days = first.daysTo(last) + 1;
    Random random;
    Exec(db.get(), "BEGIN");
    sqlite3_stmt* insert = nullptr;
    Check(db.get(), sqlite3_prepare_v2(db.get(), "INSERT INTO Uscite (IDTipoUscita, Data, Descrizione, KM, Durata, Note) "
                                                 "VALUES (?, ?, ?, ?, ?, ?)", -1, &insert, nullptr), "prepare");
    for (qint64 i = 0; i < rides; ++i) {
        const QByteArray date = first.addDays(i * days / rides).toString(Qt::ISODate).toLatin1();
        const double km = random.Below(2001) / 10.0;
        sqlite3_bind_int(insert, 1, random.Below(6));
        sqlite3_bind_text(insert, 2, date.constData(), int(date.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, Descriptions[random.Below(int(std::size(Descriptions)))], -1, SQLITE_STATIC);
        sqlite3_bind_double(insert, 4, km);
        if (random.Below(8) == 0)
            sqlite3_bind_null(insert, 5);
        else
            sqlite3_bind_text(insert, 5, "01:23:45", -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 6, random.Below(10) == 0 ? "Vento contrario" : "", -1, SQLITE_STATIC);
        Check(db.get(), sqlite3_step(insert), "INSERT");
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    Exec(db.get(), "COMMIT");
    // Free pages scattered through the file: what compaction is for.
    Exec(db.get(), "DELETE FROM Uscite WHERE IDUscita % 10 = 3");
    return path;
}

void WriteDatFiles(const QString& folder, qint64 lines)
{
    QDir().mkpath(folder);
    Random random;
    for (int f = 0; f < ImportFiles; ++f) {
        const int month = f % 12 + 1, year = 1990 + f / 12;
        const qint64 count = lines / ImportFiles + (f < lines % ImportFiles ? 1 : 0);
        QByteArray text;
        for (qint64 i = 0; i < count; ++i) {
            const int day = random.Below(28) + 1;
            text += QByteArray::number(day).rightJustified(2, '0') + ' ' + QByteArray::number(random.Below(2000))
                    + '.' + QByteArray::number(random.Below(10)) + ' '
                    + QByteArray(Descriptions[random.Below(int(std::size(Descriptions)))]).replace("à", "\xe0")
                    + '^' + QByteArray::number(random.Below(6) + 1) + "\r\n";
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
            QString reason;
            if (!DatFile::ParseLine(line, month, parsed.ride, reason))
                throw std::runtime_error(reason.toStdString());
            parsed.date = parsed.ride.date.ToQDate().toString(Qt::ISODate).toLatin1();
            parsed.description = parsed.ride.description.toUtf8();
            rides.push_back(std::move(parsed));
        }
    }
    return rides;
}

void InsertRaw(sqlite3* db, const std::vector<ParsedRide>& rides)
{
    Exec(db, "BEGIN IMMEDIATE");
    sqlite3_stmt* insert = nullptr;
    Check(db, sqlite3_prepare_v2(db, "INSERT INTO Uscite (IDTipoUscita, Data, Descrizione, KM, Note) "
                                     "VALUES (?, ?, ?, ?, '')", -1, &insert, nullptr), "prepare");
    for (const ParsedRide& r : rides) {
        sqlite3_bind_int(insert, 1, r.ride.typeCode - 1);
        sqlite3_bind_text(insert, 2, r.date.constData(), int(r.date.size()), SQLITE_STATIC);
        sqlite3_bind_text(insert, 3, r.description.constData(), int(r.description.size()), SQLITE_STATIC);
        sqlite3_bind_double(insert, 4, r.ride.km);
        Check(db, sqlite3_step(insert), "INSERT");
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    Exec(db, "COMMIT");
}

struct Timing
{
    std::vector<double> ms;
    double Median()
    {
        std::sort(ms.begin(), ms.end());
        const size_t n = ms.size();
        return n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2.0;
    }
};

// Runs `prepare` untimed, then times `work`.
void TimeOnce(Timing& timing, const std::function<void()>& prepare, const std::function<void()>& work)
{
    prepare();
    QElapsedTimer timer;
    timer.start();
    work();
    timing.ms.push_back(timer.nsecsElapsed() / 1e6);
}

void Report(const char* name, int runs, Timing& ours, Timing& raw, double goal, const std::string& oursFingerprint,
            const std::string& rawFingerprint)
{
    const double o = ours.Median(), r = raw.Median(), ratio = o / r;
    std::printf("%-11s %5d %12.1f %12.1f %8.2f %8.1f  %s%s\n", name, runs, o, r, ratio, goal,
                oursFingerprint == rawFingerprint ? "same rows" : "ROWS DIFFER ",
                ratio <= goal ? "" : "  GOAL MISSED");
}

qint64 RidesFromArguments(int argc, char* argv[])
{
    if (argc < 2)
        return DefaultRides;
    bool ok = false;
    const qint64 rides = QByteArray(argv[1]).toLongLong(&ok);
    if (!ok || rides < 1000)
        throw std::runtime_error("usage: bench_maintenance [number of rides >= 1000]");
    return rides;
}

}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    try {
        const qint64 rides = RidesFromArguments(argc, argv);
        const qint64 lines = rides / 10;
        QTemporaryDir dir;
        if (!dir.isValid())
            throw std::runtime_error("cannot make a temporary folder");
        const QString empty = EmptyDatabase(dir);
        QElapsedTimer setup;
        setup.start();
        const QString log = LogDatabase(dir, empty, rides);
        const QString folder = dir.filePath(QStringLiteral("dat"));
        WriteDatFiles(folder, lines);
        std::printf("Made a log of %lld rides (%lld kept, %.1f MB) and %lld .dat lines in %d files in %.0f ms\n",
                    rides, rides - rides / 10, QFileInfo(log).size() / 1e6, lines, ImportFiles,
                    setup.nsecsElapsed() / 1e6);

        const QString work = dir.filePath(QStringLiteral("work.mdb"));
        const QString compacted = dir.filePath(QStringLiteral("raw-compacted.mdb"));
        const auto fresh = [&](const QString& from) {
            return [&, from] {
                for (const QString& stale : {work, Compaction::BackupPath(work), compacted})
                    QFile::remove(stale);
                CopyFresh(from, work);
            };
        };

        // Import: the whole command's work against reading the same files
        // the same way and inserting the rows with one prepared statement.
        const auto importOurs = [&] {
            TZTConnection connection;
            connection.Open(QStringLiteral("Provider=SQLite;Data Source=") + work);
            const DatImportResult result = DatImport::ImportFolder(connection, folder);
            if (result.failure || result.rides != lines)
                throw std::runtime_error("the import failed: " + result.failure.value_or(DatImportFailure{}).Message().toStdString());
        };
        const auto importRaw = [&] {
            const Database db = OpenRaw(work);
            Exec(db.get(), "PRAGMA foreign_keys = ON");
            InsertRaw(db.get(), ReadDatFiles(folder));
        };
        std::vector<ParsedRide> parsed;
        const auto insertsOnly = [&] {
            const Database db = OpenRaw(work);
            Exec(db.get(), "PRAGMA foreign_keys = ON");
            InsertRaw(db.get(), parsed);
        };
        constexpr int ImportRuns = 5;
        Timing ours, raw, inserts;
        std::string oursRows, rawRows, insertRows;
        fresh(empty)();
        importOurs(); // warm-up
        for (int i = 0; i < ImportRuns; ++i) {
            TimeOnce(ours, fresh(empty), importOurs);
            oursRows = Scalar(work, Fingerprint);
            TimeOnce(raw, fresh(empty), importRaw);
            rawRows = Scalar(work, Fingerprint);
            TimeOnce(inserts, [&] { fresh(empty)(); parsed = ReadDatFiles(folder); }, insertsOnly);
            insertRows = Scalar(work, Fingerprint);
        }

        // Compaction: the whole command's work against the one VACUUM INTO.
        const auto compactOurs = [&] {
            const Compaction::Result result = Compaction::CompactDatabase(Template, work);
            if (result.outcome != Compaction::Outcome::Compacted)
                throw std::runtime_error("the compaction failed: " + result.detail.toStdString());
        };
        const auto compactRaw = [&] {
            const Database db = OpenRaw(work);
            Exec(db.get(), QStringLiteral("VACUUM INTO '%1'").arg(compacted).toUtf8().constData());
        };
        constexpr int CompactionRuns = 3;
        Timing compactionOurs, compactionRaw, flush, check;
        std::string compactedRows, rawCompactedRows;
        for (int i = 0; i < CompactionRuns; ++i) {
            TimeOnce(compactionOurs, fresh(log), compactOurs);
            compactedRows = Scalar(work, Fingerprint);
            TimeOnce(compactionRaw, fresh(log), compactRaw);
            // What flushing the result to disk and checking it cost on their own.
            TimeOnce(flush, [] {}, [&] {
                QString error;
                if (!DurableFiles::SyncFile(compacted, error))
                    throw std::runtime_error(error.toStdString());
            });
            rawCompactedRows = Scalar(compacted, Fingerprint);
            TimeOnce(check, [] {}, [&] {
                const Database db = OpenRaw(compacted, SQLITE_OPEN_READONLY);
                Exec(db.get(), "PRAGMA integrity_check");
            });
        }
        const double sizeBefore = QFileInfo(log).size() / 1e6, sizeAfter = QFileInfo(compacted).size() / 1e6;

        std::printf("\nGoals: import ratio <= %.1f, compaction ratio <= %.1f (medians, ours / raw SQLite)\n",
                    ImportGoal, CompactionGoal);
        std::printf("%-11s %5s %12s %12s %8s %8s\n", "case", "runs", "ours ms", "raw ms", "ratio", "goal");
        Report("import", ImportRuns, ours, raw, ImportGoal, oursRows, rawRows);
        Report("compaction", CompactionRuns, compactionOurs, compactionRaw, CompactionGoal, compactedRows,
               rawCompactedRows);
        std::printf("\nFor reference: the same inserts alone, from rows already parsed: %.1f ms (ratio %.2f);\n"
                    "after the raw VACUUM INTO, flushing its file took %.1f ms and PRAGMA integrity_check of it %.1f ms;\n"
                    "the file went from %.1f MB to %.1f MB.\n",
                    inserts.Median(), ours.Median() / inserts.Median(), flush.Median(), check.Median(), sizeBefore,
                    sizeAfter);
        if (insertRows != rawRows)
            std::printf("ROWS DIFFER between the two raw import paths\n");
        return 0;
    } catch (const Exception& e) {
        std::fprintf(stderr, "bench_maintenance: %s\n", qPrintable(e.Message()));
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_maintenance: %s\n", e.what());
        return 1;
    }
}
