// CSV benchmark: the export of the whole log and the import of a file, each
// timed against the same work done directly on the SQLite C API.
//
//   bench_csv [rides]     (default 1,000,000; at least 1,000)
//
// The export writes the `rides` rides of the log, in the standard and in the
// Italian format. The raw loop reads the same rows with the conversions the
// benchmarks' raw readers make (dates and times parsed, text decoded, as
// bench_data) and writes the same bytes; for reference, a loop that copies the
// stored texts without reading them (standard format).
// The import reads rides / 10 rows (100,000 by default) into an empty
// database; the raw side parses the same file with the same parser (as
// bench_maintenance parses its ".dat" files) and inserts the rows with one
// prepared statement in one transaction. For reference, those inserts alone,
// and the import into the whole log, whose rides of the file's days are then
// compared with the file's.
//
// A missed goal is reported, not failed: the exit code is 0 whenever the
// measurement itself could be made and every path wrote the same bytes or rows.

#include "bench/BenchSupport.h"
#include "data/TZTConnection.h"
#include "tools/CsvExport.h"
#include "tools/CsvImport.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr qint64 MinimumRides = 1000;
constexpr int ExportRuns = 5;
constexpr int ImportRuns = 5;
constexpr int LogImportRuns = 3;
constexpr double ExportGoal = 1.5;
constexpr double ImportGoal = 1.5;

// The same figures for every path, so a path that loses or changes rows shows up.
QString Fingerprint(const QString& path)
{
    const Bench::Database db = Bench::OpenDatabase(path, Bench::OpenMode::ReadOnly);
    const Statement statement = Bench::Prepare(
        db.get(), QStringLiteral("SELECT count(*) || ' ' || total(KM) || ' ' || total(IDTipoUscita) || ' ' || "
                                 "total(length(Descrizione)) || ' ' || total(unicode(Descrizione)) || ' ' || "
                                 "total(strftime('%s', '1970-01-01 ' || Durata)) || ' ' || count(Durata) || ' ' || "
                                 "ifnull(max(Data), '') || ' ' || total(julianday(Data)) FROM Uscite"));
    return Bench::Step(statement.get()) ? Bench::RawString(statement.get(), 0) : QString();
}

std::string Same(bool same, const char* what)
{
    return same ? std::string("same ") + what : std::string(what) + " DIFFER";
}

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return file.readAll();
}

// A field as the export writes it: quoted when it holds a comma, a
// semicolon, a tab, a quote or a line break, or begins or ends with a blank.
void AppendField(std::string& out, const char* text, int size)
{
    bool quote = size > 0 && (text[0] == ' ' || text[size - 1] == ' ');
    for (int i = 0; i < size && !quote; ++i)
        quote = text[i] == ',' || text[i] == ';' || text[i] == '\t' || text[i] == '"' || text[i] == '\r'
                || text[i] == '\n';
    if (!quote) {
        out.append(text, size);
        return;
    }
    out += '"';
    for (int i = 0; i < size; ++i) {
        if (text[i] == '"')
            out += '"';
        out += text[i];
    }
    out += '"';
}

char* TwoDigits(char* at, int value)
{
    at[0] = char('0' + value / 10 % 10);
    at[1] = char('0' + value % 10);
    return at + 2;
}

// The file's bytes from the C API. `stored` copies the texts of the date and
// the duration as they are stored (standard format only); otherwise every
// value is read as the program reads it and written out again.
void ExportRaw(const QString& database, const QString& path, bool stored, bool italian = false)
{
    const char separator = italian ? ';' : ',';
    const Bench::Database db = Bench::OpenDatabase(database);
    std::vector<std::string> types;
    {
        const Statement names =
            Bench::Prepare(db.get(), QStringLiteral("SELECT IDTipoUscita, Descrizione FROM TipiUscita ORDER BY 1"));
        while (Bench::Step(names.get())) {
            std::string name;
            AppendField(name, reinterpret_cast<const char*>(sqlite3_column_text(names.get(), 1)),
                        sqlite3_column_bytes(names.get(), 1));
            types.resize(sqlite3_column_int(names.get(), 0) + 1);
            types.back() = name;
        }
    }
    FILE* file = std::fopen(path.toUtf8().constData(), "wb");
    if (!file)
        throw std::runtime_error("cannot write " + path.toStdString());
    std::string out = italian ? "\xEF\xBB\xBF" "Data;Tipo;KM;Durata;Descrizione\r\n" : "Data,Tipo,KM,Durata,Descrizione\r\n";
    const Statement rides = Bench::Prepare(
        db.get(), QStringLiteral("SELECT Data, IDTipoUscita, KM, Durata, Descrizione FROM Uscite ORDER BY Data, IDUscita"));
    sqlite3_stmt* const row = rides.get();
    while (Bench::Step(row)) {
        if (stored) {
            out.append(reinterpret_cast<const char*>(sqlite3_column_text(row, 0)), 10);
        } else {
            int year = 0, month = 0, day = 0;
            Bench::RawDateTime(row, 0).DecodeDate(year, month, day);
            char date[10];
            if (italian) {
                TwoDigits(date, day);
                TwoDigits(date + 3, month);
                TwoDigits(TwoDigits(date + 6, year / 100), year % 100);
                date[2] = date[5] = '/';
            } else {
                TwoDigits(TwoDigits(date, year / 100), year % 100);
                date[4] = date[7] = '-';
                TwoDigits(date + 5, month);
                TwoDigits(date + 8, day);
            }
            out.append(date, 10);
        }
        out += separator;
        out += types.at(sqlite3_column_int(row, 1));
        out += separator;
        char km[64];
        char* const kmEnd = std::to_chars(km, km + sizeof km, sqlite3_column_double(row, 2), std::chars_format::fixed).ptr;
        if (char* point = std::find(km, kmEnd, '.'); italian && point != kmEnd) {
            *point = ',';
            out += '"';
            out.append(km, kmEnd);
            out += '"';
        } else {
            out.append(km, kmEnd);
        }
        out += separator;
        if (stored) {
            const char* duration = reinterpret_cast<const char*>(sqlite3_column_text(row, 3));
            if (duration && std::string_view(duration) != "00:00:00")
                out += duration;
        } else if (const int seconds = int(std::round(Bench::RawDateTime(row, 3).Val() * 86400.0)); seconds > 0) {
            char duration[8];
            TwoDigits(duration, seconds / 3600);
            duration[2] = duration[5] = ':';
            TwoDigits(duration + 3, seconds / 60 % 60);
            TwoDigits(duration + 6, seconds % 60);
            out.append(duration, 8);
        }
        out += separator;
        if (stored) {
            AppendField(out, reinterpret_cast<const char*>(sqlite3_column_text(row, 4)), sqlite3_column_bytes(row, 4));
        } else {
            const QByteArray description = Bench::RawString(row, 4).toUtf8();
            AppendField(out, description.constData(), int(description.size()));
        }
        out += "\r\n";
        if (out.size() >= (1 << 20)) {
            std::fwrite(out.data(), 1, out.size(), file);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), file);
    const bool written = std::fflush(file) == 0 && ::fsync(fileno(file)) == 0;
    if (std::fclose(file) != 0 || !written)
        throw std::runtime_error("cannot write " + path.toStdString());
}

struct Row
{
    std::string date;
    int type = 0;
    double km = 0.0;
    std::string duration; // "00:00:00" for none, as the import stores it
    std::string description;
};

// `count` rides in a CSV file as a spreadsheet would hold them, and the same
// rows as the import stores them.
std::vector<Row> WriteCsv(const QString& path, qint64 count, QDate last)
{
    static const char* const types[] = {"Strada", "MTB", "Gravel", "Città", "Rulli", "Gara"};
    Bench::Random random;
    const qint64 days = Bench::FirstDay().daysTo(last) + 1;
    std::vector<Row> rows;
    QByteArray text = "Data,Tipo,KM,Durata,Descrizione\r\n";
    for (qint64 i = 0; i < count; ++i) {
        Row row;
        row.date = Bench::FirstDay().addDays(i * days / count).toString(Qt::ISODate).toStdString();
        row.type = random.Below(6);
        row.km = random.Below(2001) / 10.0;
        const int seconds = random.Below(8) == 0 ? 0 : int(row.km * 3600.0 / (15 + random.Below(21)));
        char duration[16];
        std::snprintf(duration, sizeof duration, "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
        row.duration = duration;
        // Never the description of a ride of the log: all are new to it.
        row.description = Bench::RandomDescription(random) + std::string(" (CSV)");
        text += QByteArray::fromStdString(row.date) + ',' + types[row.type] + ',' + QByteArray::number(row.km) + ','
                + (seconds ? QByteArray(duration) : QByteArray()) + ',' + row.description.c_str() + "\r\n";
        rows.push_back(std::move(row));
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        throw std::runtime_error("cannot write " + path.toStdString());
    return rows;
}

// The rides of the file as the import reads them, as rows to insert.
std::vector<Row> ParseCsv(const QString& path, const CsvImport::Log& log)
{
    const CsvImport::ReadResult read = CsvImport::ReadFile(path, log);
    if (read.fault)
        throw std::runtime_error(read.fault->Message().toStdString());
    std::vector<Row> rows;
    rows.reserve(read.rides.size());
    for (const Rides::Ride& ride : read.rides) {
        Row row;
        row.date.resize(10);
        TwoDigits(TwoDigits(row.date.data(), ride.anno / 100), ride.anno % 100);
        row.date[4] = row.date[7] = '-';
        TwoDigits(row.date.data() + 5, ride.mese);
        TwoDigits(row.date.data() + 8, ride.entry.giorno);
        row.type = ride.entry.tipo;
        row.km = ride.entry.chilometri;
        const int seconds = int(std::round(ride.entry.tempo.Val() * 86400.0));
        row.duration = "00:00:00";
        TwoDigits(row.duration.data(), seconds / 3600);
        TwoDigits(row.duration.data() + 3, seconds / 60 % 60);
        TwoDigits(row.duration.data() + 6, seconds % 60);
        row.description = ride.entry.testoDescrizione.toStdString();
        rows.push_back(std::move(row));
    }
    return rows;
}

// The rows the import stores, with one prepared statement in one transaction,
// on a connection opened as the program opens it.
void InsertRaw(const QString& path, const std::vector<Row>& rows)
{
    const Bench::Database db = Bench::OpenDatabase(path);
    Bench::Exec(db.get(), "PRAGMA foreign_keys = ON");
    Bench::Exec(db.get(), "BEGIN IMMEDIATE");
    {
        const Statement insert = Bench::Prepare(
            db.get(), QStringLiteral("INSERT INTO Uscite (Data, IDTipoUscita, KM, Descrizione, Durata) VALUES (?, ?, ?, ?, ?)"));
        sqlite3_stmt* const row = insert.get();
        for (const Row& r : rows) {
            sqlite3_bind_text(row, 1, r.date.data(), int(r.date.size()), SQLITE_STATIC);
            sqlite3_bind_int(row, 2, r.type);
            sqlite3_bind_double(row, 3, r.km);
            sqlite3_bind_text(row, 4, r.description.data(), int(r.description.size()), SQLITE_STATIC);
            sqlite3_bind_text(row, 5, r.duration.data(), int(r.duration.size()), SQLITE_STATIC);
            Bench::Step(row);
            sqlite3_reset(row);
        }
    }
    Bench::Exec(db.get(), "COMMIT");
}

std::unique_ptr<TZTConnection> OpenedOn(const QString& path)
{
    auto connection = std::make_unique<TZTConnection>();
    connection->Open(Bench::ConnectionString(path));
    return connection;
}

}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    return Bench::Main(argc, argv, [&](qint64 rides, const QTemporaryDir& dir) {
        if (rides < MinimumRides)
            throw std::runtime_error("usage: bench_csv [number of rides >= 1000]");
        const qint64 rows = rides / 10;
        const QString log = dir.filePath(QStringLiteral("log.mdb"));
        Bench::CreateDatabase(log, rides);
        const QString empty = dir.filePath(QStringLiteral("empty.mdb"));
        Bench::CreateDatabase(empty, 0);
        // The rides of a file may not come after today, as the program has it.
        const QDate today = QDate::currentDate();
        const QString csv = dir.filePath(QStringLiteral("import.csv"));
        const std::vector<Row> parsed = WriteCsv(csv, rows, std::min(today, Bench::LastDay()));
        std::printf("Wrote %lld CSV rows to import\n", rows);

        // Export: the command's work against the raw loop writing the same bytes.
        const QString ours = dir.filePath(QStringLiteral("ours.csv"));
        const QString raw = dir.filePath(QStringLiteral("raw.csv"));
        CsvExport::CsvFormat format = CsvExport::CsvFormat::Standard;
        const auto exportOurs = [&] {
            TZTConnection connection;
            connection.Open(Bench::ConnectionString(log));
            if (CsvExport::ExportLog(connection, ours, format) != rides)
                throw std::runtime_error("the export failed");
        };
        const QString copied = dir.filePath(QStringLiteral("copied.csv"));
        std::vector<double> exportMs, rawExportMs, copiedExportMs;
        exportOurs(); // warm-up
        for (int i = 0; i < ExportRuns; ++i) {
            QFile::remove(ours);
            exportMs.push_back(Bench::TimeMs(exportOurs));
            QFile::remove(raw);
            rawExportMs.push_back(Bench::TimeMs([&] { ExportRaw(log, raw, false); }));
            QFile::remove(copied);
            copiedExportMs.push_back(Bench::TimeMs([&] { ExportRaw(log, copied, true); }));
        }
        const QByteArray exported = FileBytes(ours);
        const bool sameBytes = exported == FileBytes(raw) && exported == FileBytes(copied);
        const double exportMb = exported.size() / 1e6;

        format = CsvExport::CsvFormat::Italian;
        std::vector<double> italianMs, rawItalianMs;
        for (int i = 0; i < ExportRuns; ++i) {
            QFile::remove(ours);
            italianMs.push_back(Bench::TimeMs(exportOurs));
            QFile::remove(raw);
            rawItalianMs.push_back(Bench::TimeMs([&] { ExportRaw(log, raw, false, true); }));
        }
        const bool sameItalianBytes = FileBytes(ours) == FileBytes(raw);

        // Import: the whole command's work (read, check, set apart what the log
        // holds, store) against the raw inserts of the rows known beforehand.
        const QString work = dir.filePath(QStringLiteral("work.mdb"));
        const auto fresh = [&](const QString& from) {
            QFile::remove(work);
            if (!QFile::copy(from, work))
                throw std::runtime_error("cannot copy " + from.toStdString());
        };
        qint64 newRides = 0;
        double storeMs = 0.0;
        const auto importOurs = [&] {
            TZTConnection connection;
            connection.Open(Bench::ConnectionString(work));
            const CsvImport::Log limits{Rides::Types(connection), Bench::FirstDay(), today};
            const CsvImport::ReadResult read = CsvImport::ReadFile(csv, limits);
            if (read.fault || read.rides.size() != rows)
                throw std::runtime_error("the import failed: " + read.fault.value_or(CsvFault{}).Message().toStdString());
            const CsvImport::Sorted sorted = CsvImport::SortOut(connection, read.rides);
            newRides = sorted.fresh.size();
            storeMs = Bench::TimeMs([&] { CsvImport::Store(connection, sorted.fresh); });
        };
        std::vector<double> importMs, rawImportMs, insertsMs, storeOnlyMs, logImportMs, rawLogImportMs;
        QString importRows, rawImportRows, insertsRows, logRows, rawLogRows;
        fresh(empty);
        importOurs(); // warm-up
        for (int i = 0; i < ImportRuns; ++i) {
            fresh(empty);
            importMs.push_back(Bench::TimeMs(importOurs));
            storeOnlyMs.push_back(storeMs);
            importRows = Fingerprint(work);
            fresh(empty);
            rawImportMs.push_back(Bench::TimeMs([&] {
                const CsvImport::Log limits{Rides::Types(*OpenedOn(work)), Bench::FirstDay(), today};
                InsertRaw(work, ParseCsv(csv, limits));
            }));
            rawImportRows = Fingerprint(work);
            fresh(empty);
            insertsMs.push_back(Bench::TimeMs([&] { InsertRaw(work, parsed); }));
            insertsRows = Fingerprint(work);
        }
        for (int i = 0; i < LogImportRuns; ++i) {
            fresh(log);
            logImportMs.push_back(Bench::TimeMs(importOurs));
            logRows = Fingerprint(work);
            fresh(log);
            rawLogImportMs.push_back(Bench::TimeMs([&] { InsertRaw(work, parsed); }));
            rawLogRows = Fingerprint(work);
        }
        if (newRides != rows)
            throw std::runtime_error("rides of the file were taken for the log's");

        using Bench::Median;
        using Goal = Bench::Result::Goal;
        Bench::PrintTable(
            "CSV: export of " + std::to_string(rides) + " rides, import of " + std::to_string(rows) + " rows",
            {{"export (raw: C API loop, same bytes, flushed)", ExportRuns, Median(exportMs), Median(rawExportMs),
              Goal::RatioAtMost, ExportGoal, "ms", Same(sameBytes, "bytes")},
             {"  export vs raw copying the stored texts", ExportRuns, Median(exportMs), Median(copiedExportMs),
              Goal::None, 0.0, "ms", Same(sameBytes, "bytes")},
             {"exported file", 1, exportMb, {}, Goal::None, 0.0, "MB"},
             {"Italian export (raw: C API loop, same bytes, flushed)", ExportRuns, Median(italianMs),
              Median(rawItalianMs), Goal::RatioAtMost, ExportGoal, "ms", Same(sameItalianBytes, "bytes")},
             {"import into an empty log (raw: parse + insert)", ImportRuns, Median(importMs), Median(rawImportMs),
              Goal::RatioAtMost, ImportGoal, "ms", Same(importRows == rawImportRows, "rows")},
             {"  import vs the raw inserts alone, rows parsed", ImportRuns, Median(importMs), Median(insertsMs),
              Goal::None, 0.0, "ms", Same(importRows == insertsRows, "rows")},
             {"  its storing alone vs the raw inserts alone", ImportRuns, Median(storeOnlyMs), Median(insertsMs),
              Goal::None, 0.0, "ms"},
             {"  import into the whole log (raw: the inserts)", LogImportRuns, Median(logImportMs),
              Median(rawLogImportMs), Goal::None, 0.0, "ms", Same(logRows == rawLogRows, "rows")}});
        if (!sameBytes || !sameItalianBytes || importRows != rawImportRows || importRows != insertsRows || logRows != rawLogRows)
            throw std::runtime_error("our paths and the raw ones wrote different bytes or rows");
    });
}
