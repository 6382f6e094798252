#include "bench/BenchSupport.h"

#include "data/FieldValue.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <stdexcept>

namespace Bench {

namespace {

void ExecFile(sqlite3* db, const char* path)
{
    QFile file(QString::fromUtf8(path));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(std::string("cannot read ") + path);
    Check(db, sqlite3_exec(db, file.readAll().constData(), nullptr, nullptr, nullptr), path);
}

// Rides are logged in date order, spread evenly over the period; everything
// else about them is pseudo-random.
void FillRides(sqlite3* db, qint64 rides, QDate first, QDate last)
{
    const qint64 days = first.daysTo(last) + 1;
    Random random;
    Exec(db, "BEGIN");
    const Statement statement = Prepare(db, QStringLiteral("INSERT INTO Uscite (IDTipoUscita, Data, Descrizione, KM, "
                                                           "Durata, Note) VALUES (?, ?, ?, ?, ?, ?)"));
    sqlite3_stmt* const insert = statement.get();
    char date[16] = {};
    char duration[16] = {};
    qint64 shownDay = -1;
    for (qint64 i = 0; i < rides; ++i) {
        const qint64 day = i * days / rides;
        if (day != shownDay) {
            const QDate d = first.addDays(day);
            std::snprintf(date, sizeof date, "%04d-%02d-%02d", d.year(), d.month(), d.day());
            shownDay = day;
        }
        const double km = random.Below(2001) / 10.0;
        sqlite3_bind_int(insert, 1, random.Below(6));
        sqlite3_bind_text(insert, 2, date, 10, SQLITE_STATIC);
        sqlite3_bind_text(insert, 3, RandomDescription(random), -1, SQLITE_STATIC);
        sqlite3_bind_double(insert, 4, km);
        if (random.Below(8) == 0) {
            sqlite3_bind_null(insert, 5);
        } else {
            const int seconds = int(km * 3600.0 / (15 + random.Below(21)));
            std::snprintf(duration, sizeof duration, "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60,
                          seconds % 60);
            sqlite3_bind_text(insert, 5, duration, -1, SQLITE_STATIC);
        }
        if (random.Below(10) == 0)
            sqlite3_bind_text(insert, 6, "Vento contrario", -1, SQLITE_STATIC);
        else
            sqlite3_bind_null(insert, 6);
        Check(db, sqlite3_step(insert), "INSERT");
        sqlite3_reset(insert);
    }
    Exec(db, "COMMIT");
}

std::string Quantity(double value, const std::string& unit)
{
    char text[48];
    std::snprintf(text, sizeof text, unit == "MB" ? "%.1f %s" : "%.3f %s", value, unit.c_str());
    return text;
}

}

const char* RandomDescription(Random& random)
{
    static const char* const descriptions[] = {
        "Giro del lago", "Salita al passo", "Uscita con il gruppo", "Allenamento", "Recupero",
        "Gran fondo", "Giro in città", "Rulli", "Colline", "Lungo della domenica",
    };
    return descriptions[random.Below(int(std::size(descriptions)))];
}

QDate FirstDay()
{
    return QDate(1990, 1, 1);
}

QDate LastDay()
{
    return QDate(2026, 12, 31);
}

int Main(int argc, char* argv[], const std::function<void(qint64 rides, const QTemporaryDir& dir)>& body)
{
    const std::string program = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName().toStdString();
    try {
        qint64 rides = DefaultRides;
        if (argc > 1) {
            bool ok = false;
            rides = QByteArray(argv[1]).toLongLong(&ok);
            if (!ok || rides < 1)
                throw std::runtime_error("usage: " + program + " [number of rides > 0]");
        }
        const QTemporaryDir dir;
        if (!dir.isValid())
            throw std::runtime_error("cannot make a temporary folder");
        body(rides, dir);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), e.what());
        return 1;
    }
}

void CreateDatabase(const QString& path, qint64 rides, QDate first, QDate last)
{
    const Database db = OpenDatabase(path, OpenMode::Create);
    ExecFile(db.get(), KV_SCHEMA_SQL);
    ExecFile(db.get(), KV_TYPES_SQL);
    if (rides == 0)
        return;
    const double ms = TimeMs([&] { FillRides(db.get(), rides, first, last); });
    std::printf("Filled %lld rides (%s .. %s) in %.0f ms\n", rides, qPrintable(first.toString(Qt::ISODate)),
                qPrintable(last.toString(Qt::ISODate)), ms);
}

QString ConnectionTemplate()
{
    return QStringLiteral("Provider=SQLite;Data Source=%DATASOURCE%");
}

QString ConnectionString(const QString& path)
{
    return ConnectionTemplate().replace(QStringLiteral("%DATASOURCE%"), path);
}

void WriteSettingsFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)
        || file.write("[DATABASE]\nConnectionString=" + ConnectionTemplate().toUtf8() + '\n') < 0)
        throw std::runtime_error("cannot write " + path.toStdString());
}

void PrepareWindows()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
}

void Check(sqlite3* db, int rc, const char* what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

Database OpenDatabase(const QString& path, OpenMode mode)
{
    const int flags = mode == OpenMode::ReadOnly ? SQLITE_OPEN_READONLY
                      : mode == OpenMode::ReadWrite ? SQLITE_OPEN_READWRITE
                                                    : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    Database guard(db, &sqlite3_close);
    Check(db, rc, "open");
    return guard;
}

void Exec(sqlite3* db, const char* sql)
{
    Check(db, sqlite3_exec(db, sql, nullptr, nullptr, nullptr), sql);
}

Statement Prepare(sqlite3* db, const QString& sql)
{
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr);
    Statement owner(stmt);
    Check(db, rc, text.constData());
    return owner;
}

bool Step(sqlite3_stmt* stmt)
{
    const int rc = sqlite3_step(stmt);
    Check(sqlite3_db_handle(stmt), rc, "step");
    return rc == SQLITE_ROW;
}

QString RawString(sqlite3_stmt* stmt, int column)
{
    if (sqlite3_column_type(stmt, column) == SQLITE_NULL)
        return QString();
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(stmt, column));
}

TDateTime RawDateTime(sqlite3_stmt* stmt, int column)
{
    TDateTime result;
    if (sqlite3_column_type(stmt, column) != SQLITE_TEXT)
        return result;
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    return FieldValue::ParseDateTimeText(text, sqlite3_column_bytes(stmt, column), result) ? result : TDateTime();
}

QString Fingerprint(const QString& path)
{
    const Database db = OpenDatabase(path, OpenMode::ReadOnly);
    const Statement statement = Prepare(
        db.get(), QStringLiteral("SELECT count(*) || ' ' || total(KM) || ' ' || total(IDTipoUscita) || ' ' "
                                 "|| total(length(Descrizione)) || ' ' || ifnull(max(Data), '') FROM Uscite"));
    return Step(statement.get()) ? RawString(statement.get(), 0) : QString();
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

double TimeMs(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

bool Result::Missed() const
{
    switch (goal) {
    case Goal::AtMost:
        return ours > limit;
    case Goal::RatioAtMost:
        return !raw || ours / *raw > limit;
    case Goal::None:
        break;
    }
    return false;
}

void PrintTable(const std::string& title, const std::vector<Result>& results)
{
    // Other work on the machine slows every figure: the load says how much there was.
    QFile load(QStringLiteral("/proc/loadavg"));
    const QByteArray loadAverage =
        load.open(QIODevice::ReadOnly) ? load.readLine().split(' ').mid(0, 3).join(' ') : QByteArray("unknown");
    std::printf("\n%s (load average %s)\n%-46s %5s %14s %14s %7s  %-16s\n", title.c_str(), loadAverage.constData(),
                "case", "runs", "ours (median)", "raw (median)", "ratio", "goal");
    for (const Result& r : results) {
        char ratio[16] = "-";
        if (r.raw && *r.raw > 0)
            std::snprintf(ratio, sizeof ratio, "%.2f", r.ours / *r.raw);
        char goal[32] = "(information)";
        if (r.goal == Result::Goal::AtMost)
            std::snprintf(goal, sizeof goal, "<= %g %s", r.limit, r.unit.c_str());
        else if (r.goal == Result::Goal::RatioAtMost)
            std::snprintf(goal, sizeof goal, "ratio <= %g", r.limit);
        const std::string verdict =
            r.note + (r.Missed() ? (r.note.empty() ? "GOAL MISSED" : "  GOAL MISSED") : "");
        std::printf("%-46s %5d %14s %14s %7s  %-16s %s\n", r.name.c_str(), r.runs, Quantity(r.ours, r.unit).c_str(),
                    r.raw ? Quantity(*r.raw, r.unit).c_str() : "-", ratio, goal, verdict.c_str());
    }
}

}
