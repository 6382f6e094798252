#include "data/ImportedSpans.h"

#include "data/Bikes.h"
#include "data/Rides.h"
#include "data/Sql.h"
#include "data/TZTConnection.h"
#include "data/TZTRecordset.h"
#include "data/Transaction.h"

namespace {

const QString Inizio = QStringLiteral("Inizio");
const QString Fine = QStringLiteral("Fine");

bool TableExists(TZTConnection& connection)
{
    TZTRecordset found(&connection);
    found.Open(Sql::ImportedSpansExist());
    return found.GetFieldAsInteger(QStringLiteral("n")) != 0;
}

QDateTime InstantOf(const QString& text)
{
    return QDateTime::fromString(text, Qt::ISODateWithMs).toUTC();
}

}

namespace ImportedSpans {

QString UtcText(const QDateTime& instant)
{
    return instant.toUTC().toString(Qt::ISODateWithMs);
}

GpsImport::KnownRides Known(TZTConnection& connection, const QDate& first, const QDate& last)
{
    GpsImport::KnownRides known;
    if (!first.isValid() || !last.isValid())
        return known;
    const bool withSpans = TableExists(connection);
    if (withSpans) {
        const QDateTime from(first.addDays(-1), QTime(0, 0), Qt::UTC);
        const QDateTime to(last.addDays(2), QTime(0, 0), Qt::UTC);
        TZTRecordset spans(&connection);
        for (spans.Open(Sql::ImportedSpansOverlapping(UtcText(from), UtcText(to))); !spans.Eof(); spans.MoveNext())
            known.spans.push_back(
                {InstantOf(spans.GetFieldAsString(Inizio)), InstantOf(spans.GetFieldAsString(Fine))});
    }
    TZTRecordset rides(&connection);
    rides.Open(Sql::RidesOfDays(TDateTime::FromQDate(first), TDateTime::FromQDate(last), withSpans));
    for (; !rides.Eof(); rides.MoveNext())
        known.rides.push_back({rides.GetFieldAsDateTime(RideColumn::Data).ToQDate(),
                               rides.GetFieldAsDouble(RideColumn::KM),
                               rides.GetFieldAsInteger(QStringLiteral("Ricordata")) != 0});
    return known;
}

QDate Store(TZTConnection& connection, const std::vector<GpsImport::Candidate>& candidates)
{
    QDate newest;
    Transaction transaction(connection);
    connection.Execute(Sql::CreateImportedSpans());
    connection.Execute(Sql::CreateImportedSpansTrigger());
    Rides::Appender rides(connection);
    // Each type's default bike, where it is still offered; no bike, no link (and no tables made).
    const Bikes::Garage garage = Bikes::Read(connection);
    QHash<int, int> bikeOfType;
    for (auto it = garage.defaultBikes.cbegin(); it != garage.defaultBikes.cend(); ++it)
        if (const Bikes::Bike* bike = garage.FindBike(it.value()); bike && !bike->retired)
            bikeOfType.insert(it.key(), bike->key);
    std::optional<Bikes::Linker> links;
    if (!bikeOfType.isEmpty())
        links.emplace(connection);
    TZTRecordset spans(&connection);
    spans.OpenForAppend(Sql::ImportedSpansTable);
    for (const GpsImport::Candidate& candidate : candidates) {
        if (!candidate.ticked || !candidate.Tickable())
            continue;
        RideEntry entry;
        entry.tipo = candidate.type;
        entry.chilometri = candidate.km;
        entry.tempo = TDateTime(candidate.seconds / TDateTime::SecsPerDay);
        entry.testoDescrizione = candidate.description;
        rides.AppendRide(Rides::Ride::OnDay(TDateTime::FromQDate(candidate.date), entry));
        spans.AddNew();
        spans.SetField(RideColumn::IDUscita, rides.AppendedKey());
        spans.SetField(Inizio, UtcText(candidate.session.start));
        spans.SetField(Fine, UtcText(candidate.session.End()));
        spans.Update();
        if (const int bike = bikeOfType.value(candidate.type); bike != 0)
            links->Link(rides.AppendedKey(), bike);
        if (!newest.isValid() || candidate.date > newest)
            newest = candidate.date;
    }
    transaction.Commit();
    return newest;
}

}
