#include "data/Bikes.h"

#include "data/RideEntry.h"
#include "data/Rides.h"
#include "data/Sql.h"
#include "data/TZTConnection.h"
#include "data/TZTRecordset.h"
#include "data/Transaction.h"
#include "util/Exception.h"
#include "util/Formats.h"

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <vector>

namespace {

namespace Column {
const QString IDBici = QStringLiteral("IDBici");
const QString Nome = QStringLiteral("Nome");
const QString KmIniziali = QStringLiteral("KmIniziali");
const QString DataAcquisto = QStringLiteral("DataAcquisto");
const QString Ritirata = QStringLiteral("Ritirata");
const QString IDComponente = QStringLiteral("IDComponente");
const QString LimiteKm = QStringLiteral("LimiteKm");
const QString LimiteMesi = QStringLiteral("LimiteMesi");
const QString Note = QStringLiteral("Note");
const QString DataRitiro = QStringLiteral("DataRitiro");
const QString IDMontaggio = QStringLiteral("IDMontaggio");
const QString Dal = QStringLiteral("Dal");
const QString KmBici = QStringLiteral("KmBici");
const QString Al = QStringLiteral("Al");
const QString n = QStringLiteral("n");
}

int Count(TZTConnection& connection, const QString& sql)
{
    TZTRecordset found(&connection);
    found.Open(sql);
    return found.GetFieldAsInteger(Column::n);
}

bool TablesExist(TZTConnection& connection)
{
    return Count(connection, Sql::BikeTablesExist()) != 0;
}

// In the caller's transaction; the count saves the statements once the tables are there.
void EnsureTables(TZTConnection& connection)
{
    const QStringList statements = Sql::CreateBikeTables();
    if (Count(connection, Sql::BikeTablesPresent()) == statements.size())
        return;
    for (const QString& statement : statements)
        connection.Execute(statement);
}

// NULL reads as empty text, where a number would read as 0.
std::optional<double> OptionalDouble(TZTRecordset& rows, const QString& name)
{
    if (rows.GetFieldAsString(name).isEmpty())
        return std::nullopt;
    return rows.GetFieldAsDouble(name);
}

std::optional<int> OptionalInteger(TZTRecordset& rows, const QString& name)
{
    if (rows.GetFieldAsString(name).isEmpty())
        return std::nullopt;
    return rows.GetFieldAsInteger(name);
}

QDate OptionalDate(TZTRecordset& rows, const QString& name)
{
    if (rows.GetFieldAsString(name).isEmpty())
        return QDate();
    return rows.GetFieldAsDateTime(name).ToQDate();
}

// Whole months from `from` to `to`, a month ending on the same day of the
// month (or the month's last day, where it is shorter).
int WholeMonths(const QDate& from, const QDate& to)
{
    if (!from.isValid() || !to.isValid() || to <= from)
        return 0;
    int months = (to.year() - from.year()) * 12 + to.month() - from.month();
    while (months > 0 && from.addMonths(months) > to)
        --months;
    return months;
}

qint64 DayNumber(TDateTime date)
{
    return qint64(std::floor(date.Val()));
}

qint64 DayNumber(const QDate& date)
{
    return DayNumber(TDateTime::FromQDate(date));
}

void WriteBikeFields(TZTRecordset& bikes, const Bikes::Bike& bike)
{
    bikes.SetField(Column::Nome, bike.name);
    bikes.SetField(Column::KmIniziali, bike.startKm);
    bikes.SetField(Column::Ritirata, bike.retired ? 1 : 0);
    if (bike.bought.isValid())
        bikes.SetField(Column::DataAcquisto, TDateTime::FromQDate(bike.bought));
    bikes.Update();
}

// The limits that are set; those that are not stay NULL, or are made so by the caller.
void WritePartFields(TZTRecordset& parts, const Bikes::Part& part)
{
    parts.SetField(Column::Nome, part.name);
    parts.SetField(Column::Note, part.notes);
    if (part.limitKm)
        parts.SetField(Column::LimiteKm, *part.limitKm);
    if (part.limitMonths)
        parts.SetField(Column::LimiteMesi, *part.limitMonths);
    parts.Update();
}

int AppendBike(TZTConnection& connection, const Bikes::Bike& bike)
{
    TZTRecordset bikes(&connection);
    bikes.OpenForAppend(Sql::BikesTable);
    bikes.AddNew();
    WriteBikeFields(bikes, bike);
    return bikes.GetFieldAsInteger(Column::IDBici);
}

void AppendFitting(TZTConnection& connection, int part, const Bikes::Fitting& fitting)
{
    TZTRecordset fittings(&connection);
    fittings.OpenForAppend(Sql::FittingsTable);
    fittings.AddNew();
    fittings.SetField(Column::IDComponente, part);
    fittings.SetField(Column::IDBici, fitting.bike);
    fittings.SetField(Column::Dal, TDateTime::FromQDate(fitting.from));
    if (fitting.atBikeKm)
        fittings.SetField(Column::KmBici, *fitting.atBikeKm);
    if (fitting.until.isValid())
        fittings.SetField(Column::Al, TDateTime::FromQDate(fitting.until));
    fittings.Update();
}

int AppendPart(TZTConnection& connection, const Bikes::Part& part, const Bikes::Fitting& fitting)
{
    if (fitting.bike != 0 && !fitting.from.isValid())
        throw Exception(QStringLiteral("Il componente non ha la data di montaggio."));
    TZTRecordset parts(&connection);
    parts.OpenForAppend(Sql::PartsTable);
    parts.AddNew();
    WritePartFields(parts, part);
    const int key = parts.GetFieldAsInteger(Column::IDComponente);
    if (fitting.bike != 0)
        AppendFitting(connection, key, fitting);
    return key;
}

// The part as stored, its fittings with it; a part that is not there fails.
Bikes::Part ReadPart(TZTConnection& connection, int key)
{
    for (Bikes::Part& part : Bikes::Read(connection).parts)
        if (part.key == key)
            return std::move(part);
    throw Exception(QStringLiteral("ZTADO exception: Bikes: no part %1").arg(key));
}

// Ends the part's stay on its bike on `day`, which may not come before it began.
void TakeOff(TZTConnection& connection, const Bikes::Part& part, const QDate& day)
{
    if (!day.isValid())
        throw Exception(QStringLiteral("La data non è valida."));
    if (!part.fittings.isEmpty() && !part.fittings.last().until.isValid()) {
        const QDate fitted = part.fittings.last().from;
        if (day < fitted)
            throw Exception(QStringLiteral("Il componente \"%1\" è montato dal %2: non può essere tolto prima.")
                                .arg(part.name, Formats::Date(TDateTime::FromQDate(fitted))));
        connection.Execute(Sql::CloseFitting(part.key, day));
    }
}

// The Bikes verbs: each in a transaction of its own, the tables made first.
template <typename Work>
auto Write(TZTConnection& connection, Work&& work)
{
    Transaction transaction(connection);
    EnsureTables(connection);
    if constexpr (std::is_void_v<decltype(work())>) {
        work();
        transaction.Commit();
    } else {
        auto result = work();
        transaction.Commit();
        return result;
    }
}

}

namespace Bikes {

int Part::Bike() const
{
    return !fittings.isEmpty() && !fittings.last().until.isValid() ? fittings.last().bike : 0;
}

const Bike* Garage::FindBike(int key) const
{
    const auto found = std::find_if(bikes.begin(), bikes.end(), [&](const Bikes::Bike& b) { return b.key == key; });
    return found == bikes.end() ? nullptr : &*found;
}

const Bike* Garage::FindBike(const QString& name) const
{
    const auto found = std::find_if(bikes.begin(), bikes.end(), [&](const Bikes::Bike& b) {
        return b.name.compare(name, Qt::CaseInsensitive) == 0;
    });
    return found == bikes.end() ? nullptr : &*found;
}

QList<Wear> Due(const Garage& garage, const Usage& usage, int bike)
{
    QList<Wear> due;
    for (const Part& part : garage.parts) {
        const int on = part.Bike();
        if (part.retired.isValid() || on == 0 || (bike != 0 && on != bike))
            continue;
        const PartUsage used = usage.parts.value(part.key);
        std::optional<Wear> nearest;
        const auto consider = [&](double value, double limit, bool inMonths) {
            if (!(limit > 0.0) || (nearest && value / limit <= nearest->Share()))
                return;
            nearest = Wear{part.key, on, part.name, QString(), value, limit, inMonths};
        };
        if (part.limitKm)
            consider(used.km, *part.limitKm, false);
        if (part.limitMonths)
            consider(used.months, *part.limitMonths, true);
        // A hair of slack: 6.650 of 7.000 km is 95 %, however the product rounds.
        if (!nearest || nearest->used < nearest->limit * WarningShare * (1.0 - 1e-12))
            continue;
        if (const Bikes::Bike* found = garage.FindBike(on))
            nearest->bikeName = found->name;
        due.append(*nearest);
    }
    std::stable_sort(due.begin(), due.end(), [](const Wear& a, const Wear& b) { return a.Share() > b.Share(); });
    return due;
}

QString DueText(const Wear& wear)
{
    return QStringLiteral("Da sostituire: %1 (%2, %3 / %4 %5)")
        .arg(wear.partName, wear.bikeName, Formats::Grouped(wear.used), Formats::Grouped(wear.limit),
             wear.inMonths ? QStringLiteral("mesi") : QStringLiteral("km"));
}

Garage Read(TZTConnection& connection)
{
    Garage garage;
    if (!TablesExist(connection))
        return garage;
    TZTRecordset rows(&connection);
    for (rows.Open(Sql::Bikes()); !rows.Eof(); rows.MoveNext())
        garage.bikes.append({rows.GetFieldAsInteger(Column::IDBici), rows.GetFieldAsString(Column::Nome),
                             rows.GetFieldAsDouble(Column::KmIniziali), OptionalDate(rows, Column::DataAcquisto),
                             rows.GetFieldAsInteger(Column::Ritirata) != 0});
    rows.Close();

    QHash<int, qsizetype> partAt;
    for (rows.Open(Sql::Parts()); !rows.Eof(); rows.MoveNext()) {
        Part part;
        part.key = rows.GetFieldAsInteger(Column::IDComponente);
        part.name = rows.GetFieldAsString(Column::Nome);
        part.limitKm = OptionalDouble(rows, Column::LimiteKm);
        part.limitMonths = OptionalInteger(rows, Column::LimiteMesi);
        part.notes = rows.GetFieldAsString(Column::Note);
        part.retired = OptionalDate(rows, Column::DataRitiro);
        partAt.insert(part.key, garage.parts.size());
        garage.parts.append(part);
    }
    rows.Close();

    for (rows.Open(Sql::Fittings()); !rows.Eof(); rows.MoveNext()) {
        const auto at = partAt.constFind(rows.GetFieldAsInteger(Column::IDComponente));
        if (at == partAt.constEnd())
            continue;
        garage.parts[*at].fittings.append({rows.GetFieldAsInteger(Column::IDMontaggio),
                                           rows.GetFieldAsInteger(Column::IDBici), OptionalDate(rows, Column::Dal),
                                           OptionalDouble(rows, Column::KmBici), OptionalDate(rows, Column::Al)});
    }
    rows.Close();

    for (rows.Open(Sql::DefaultBikes()); !rows.Eof(); rows.MoveNext())
        garage.defaultBikes.insert(rows.GetFieldAsInteger(RideColumn::IDTipoUscita),
                                   rows.GetFieldAsInteger(Column::IDBici));
    return garage;
}

namespace {

Usage ReadUsageFrom(TZTConnection& connection, const QString& linkedRides, const Garage& garage, const QDate& today)
{
    // Each bike's rides are added up between the days its parts' fittings
    // begin and end: a part's km are then the sums of the spans it was on.
    struct Tally
    {
        const Bike* bike = nullptr;
        std::vector<qint64> bounds; // sorted days; span k is [bounds[k-1], bounds[k])
        std::vector<double> spans;  // bounds.size() + 1
        BikeUsage usage;
        qint64 lastDay = 0;
    };
    std::vector<Tally> tallies(garage.bikes.size());
    QHash<int, Tally*> byKey;
    int maxKey = 0;
    for (qsizetype i = 0; i < garage.bikes.size(); ++i) {
        tallies[i].bike = &garage.bikes[i];
        tallies[i].usage.km = garage.bikes[i].startKm;
        byKey.insert(garage.bikes[i].key, &tallies[i]);
        maxKey = std::max(maxKey, garage.bikes[i].key);
    }
    for (const Part& part : garage.parts)
        for (const Fitting& fitting : part.fittings)
            if (Tally* tally = byKey.value(fitting.bike)) {
                if (fitting.from.isValid())
                    tally->bounds.push_back(DayNumber(fitting.from));
                if (fitting.until.isValid())
                    tally->bounds.push_back(DayNumber(fitting.until));
            }
    // A table by key: the scan below looks a bike up for every ride.
    std::vector<Tally*> tallyOf(std::size_t(maxKey) + 1, nullptr);
    for (Tally& tally : tallies) {
        std::sort(tally.bounds.begin(), tally.bounds.end());
        tally.bounds.erase(std::unique(tally.bounds.begin(), tally.bounds.end()), tally.bounds.end());
        tally.spans.assign(tally.bounds.size() + 1, 0.0);
        tallyOf[std::size_t(tally.bike->key)] = &tally;
    }

    if (!garage.bikes.isEmpty() && TablesExist(connection)) {
        TZTRecordset rides(&connection);
        for (rides.Open(linkedRides); !rides.Eof(); rides.MoveNext()) {
            const int key = rides.GetFieldAsInteger(Column::IDBici);
            Tally* tally = key > 0 && key <= maxKey ? tallyOf[std::size_t(key)] : nullptr;
            if (!tally)
                continue;
            const qint64 day = DayNumber(rides.GetFieldAsDateTime(RideColumn::Data));
            const double km = rides.GetFieldAsDouble(RideColumn::KM);
            const qint64 ms = RideValidation::CountedMs(rides.GetFieldAsDateTime(RideColumn::Durata));
            BikeUsage& usage = tally->usage;
            if (usage.rides == 0 || day > tally->lastDay)
                tally->lastDay = day;
            ++usage.rides;
            usage.km += km;
            usage.durationMs += ms;
            const auto span = std::upper_bound(tally->bounds.begin(), tally->bounds.end(), day) - tally->bounds.begin();
            tally->spans[std::size_t(span)] += km;
        }
    }

    Usage usage;
    for (Tally& tally : tallies) {
        if (tally.usage.rides > 0)
            tally.usage.lastRide = TDateTime(double(tally.lastDay)).ToQDate();
        usage.bikes.insert(tally.bike->key, tally.usage);
    }
    // The km of the bike's rides from `from` (included) to `to` (excluded; the end when none).
    const auto kmBetween = [](const Tally& tally, std::optional<qint64> from, std::optional<qint64> to) {
        const auto index = [&](qint64 day) {
            return std::size_t(std::lower_bound(tally.bounds.begin(), tally.bounds.end(), day) - tally.bounds.begin());
        };
        const std::size_t first = from ? index(*from) + 1 : 0;
        const std::size_t last = to ? index(*to) + 1 : tally.spans.size();
        double km = 0.0;
        for (std::size_t k = first; k < last; ++k)
            km += tally.spans[k];
        return km;
    };
    for (const Part& part : garage.parts) {
        PartUsage used;
        for (const Fitting& fitting : part.fittings) {
            const Tally* tally = byKey.value(fitting.bike);
            if (!tally)
                continue;
            const std::optional<qint64> until =
                fitting.until.isValid() ? std::optional(DayNumber(fitting.until)) : std::nullopt;
            if (fitting.atBikeKm) {
                const double bikeKm = tally->bike->startKm + kmBetween(*tally, std::nullopt, until);
                used.km += std::max(bikeKm - *fitting.atBikeKm, 0.0);
            } else if (fitting.from.isValid()) {
                used.km += kmBetween(*tally, DayNumber(fitting.from), until);
            }
        }
        if (!part.fittings.isEmpty())
            used.months = WholeMonths(part.fittings.first().from, part.retired.isValid() ? part.retired : today);
        usage.parts.insert(part.key, used);
    }
    return usage;
}

}

Usage ReadUsage(TZTConnection& connection, const Garage& garage, const QDate& today)
{
    return ReadUsageFrom(connection, Sql::BikeRides(), garage, today);
}

QList<Wear> DueOn(TZTConnection& connection, int bike, const QDate& today)
{
    Garage around = Read(connection);
    // The parts on the bike, and the bikes they were ever on: their km come
    // from those bikes' rides alone, read through the links' index.
    around.parts.removeIf([bike](const Part& part) { return part.retired.isValid() || part.Bike() != bike; });
    QList<int> bikes;
    for (const Part& part : std::as_const(around.parts))
        for (const Fitting& fitting : part.fittings)
            if (!bikes.contains(fitting.bike))
                bikes.append(fitting.bike);
    if (bikes.isEmpty())
        return {};
    around.bikes.removeIf([&bikes](const Bike& each) { return !bikes.contains(each.key); });
    return Due(around, ReadUsageFrom(connection, Sql::BikeRidesOf(bikes), around, today), bike);
}

int BikeOfRide(TZTConnection& connection, int ride)
{
    if (!TablesExist(connection))
        return 0;
    TZTRecordset link(&connection);
    link.Open(Sql::BikeOfRide(ride));
    return link.Eof() ? 0 : link.GetFieldAsInteger(Column::IDBici);
}

QHash<int, QString> RideBikeNames(TZTConnection& connection)
{
    QHash<int, QString> names;
    if (!TablesExist(connection))
        return names;
    TZTRecordset links(&connection);
    for (links.Open(Sql::RideBikeNames()); !links.Eof(); links.MoveNext())
        names.insert(links.GetFieldAsInteger(RideColumn::IDUscita), links.GetFieldAsString(Column::Nome));
    return names;
}

QList<PeriodRow> ReadPeriod(TZTConnection& connection, TDateTime start, TDateTime end)
{
    // A log without bikes has no rows per bike: its rides are not read a second time.
    const Garage garage = Read(connection);
    if (garage.bikes.isEmpty())
        return {};
    QHash<int, PeriodRow> byBike;
    TZTRecordset rides(&connection);
    for (rides.Open(Sql::RidesOfPeriodWithBike(start, end)); !rides.Eof(); rides.MoveNext()) {
        const int bike = rides.GetFieldAsInteger(Column::IDBici);
        PeriodRow& row = byBike[bike];
        row.bike = bike;
        const double km = rides.GetFieldAsDouble(RideColumn::KM);
        const qint64 ms = RideValidation::CountedMs(rides.GetFieldAsDateTime(RideColumn::Durata));
        ++row.rides;
        row.km += km;
        if (ms > 0) {
            row.durationMs += ms;
            row.kmWithDuration += km;
        }
    }
    rides.Close();
    QList<PeriodRow> rows = byBike.values();
    for (PeriodRow& row : rows)
        if (const Bike* bike = garage.FindBike(row.bike))
            row.name = bike->name;
    std::sort(rows.begin(), rows.end(), [](const PeriodRow& a, const PeriodRow& b) {
        if ((a.bike == 0) != (b.bike == 0))
            return b.bike == 0;
        if (a.km != b.km)
            return a.km > b.km;
        const int byName = a.name.compare(b.name, Qt::CaseInsensitive);
        return byName != 0 ? byName < 0 : a.bike < b.bike;
    });
    return rows;
}

Linker::Linker(TZTConnection& connection)
    : m_connection(connection),
      m_links(std::make_unique<TZTRecordset>(&connection))
{
    EnsureTables(m_connection);
    m_links->OpenForAppend(Sql::RideBikesTable);
}

Linker::~Linker() = default;

int Linker::BikeNamed(const QString& name)
{
    if (!m_garage)
        m_garage = Read(m_connection);
    if (const Bike* found = m_garage->FindBike(name))
        return found->key;
    Bike bike;
    bike.name = name;
    bike.key = AppendBike(m_connection, bike);
    m_garage->bikes.append(bike);
    return bike.key;
}

void Linker::Link(int ride, int bike)
{
    if (bike == 0)
        return;
    m_links->AddNew();
    m_links->SetField(RideColumn::IDUscita, ride);
    m_links->SetField(Column::IDBici, bike);
    m_links->Update();
}

void RelinkRide(TZTConnection& connection, int ride, int bike)
{
    if (bike == 0) {
        if (TablesExist(connection))
            connection.Execute(Sql::ClearRideBike(ride));
        return;
    }
    EnsureTables(connection);
    connection.Execute(Sql::SetRideBike(ride, bike));
}

int AddBike(TZTConnection& connection, const Bike& bike)
{
    return Write(connection, [&] { return AppendBike(connection, bike); });
}

void ChangeBike(TZTConnection& connection, const Bike& bike)
{
    Write(connection, [&] {
        TZTRecordset bikes(&connection);
        bikes.Open(Sql::BikeById(bike.key));
        bikes.Edit();
        WriteBikeFields(bikes, bike);
        if (!bike.bought.isValid())
            connection.Execute(Sql::ClearBikePurchase(bike.key));
    });
}

void DeleteBike(TZTConnection& connection, int bike)
{
    // The triggers take its links, defaults and fittings with it.
    Write(connection, [&] { connection.Execute(Sql::DeleteBike(bike)); });
}

void SetDefaultBike(TZTConnection& connection, int rideType, int bike)
{
    Write(connection, [&] {
        connection.Execute(bike == 0 ? Sql::ClearDefaultBike(rideType) : Sql::SetDefaultBike(rideType, bike));
    });
}

void SetRideBike(TZTConnection& connection, int ride, int bike)
{
    Write(connection, [&] { RelinkRide(connection, ride, bike); });
}

int AddPart(TZTConnection& connection, const Part& part, const Fitting& fitting)
{
    return Write(connection, [&] { return AppendPart(connection, part, fitting); });
}

void ChangePart(TZTConnection& connection, const Part& part)
{
    Write(connection, [&] {
        TZTRecordset parts(&connection);
        parts.Open(Sql::PartById(part.key));
        parts.Edit();
        WritePartFields(parts, part);
        if (!part.limitKm || !part.limitMonths)
            connection.Execute(Sql::ClearPartLimits(part.key, !part.limitKm, !part.limitMonths));
    });
}

void MovePart(TZTConnection& connection, int part, int bike, const QDate& day)
{
    Write(connection, [&] {
        TakeOff(connection, ReadPart(connection, part), day);
        if (bike != 0)
            AppendFitting(connection, part, {0, bike, day, std::nullopt, QDate()});
    });
}

int ReplacePart(TZTConnection& connection, int part, const QDate& day)
{
    return Write(connection, [&] {
        const Part old = ReadPart(connection, part);
        TakeOff(connection, old, day);
        connection.Execute(Sql::RetirePart(part, day));
        Part replacement = old;
        replacement.retired = QDate();
        return AppendPart(connection, replacement, {0, old.Bike(), day, std::nullopt, QDate()});
    });
}

void RetirePart(TZTConnection& connection, int part, const QDate& day)
{
    Write(connection, [&] {
        TakeOff(connection, ReadPart(connection, part), day);
        connection.Execute(Sql::RetirePart(part, day));
    });
}

void DeletePart(TZTConnection& connection, int part)
{
    Write(connection, [&] { connection.Execute(Sql::DeletePart(part)); });
}

}
