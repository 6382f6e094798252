#include "data/Rides.h"

#include "data/Sql.h"
#include "data/TZTConnection.h"
#include "data/TZTRecordset.h"

namespace {

// The recordset stands on the row to write: a new one or the ride to change.
void WriteFields(TZTRecordset& rides, const Rides::Ride& ride)
{
    rides.SetField(RideColumn::Data, ride.Data());
    rides.SetField(RideColumn::IDTipoUscita, ride.entry.tipo);
    rides.SetField(RideColumn::KM, ride.entry.chilometri);
    rides.SetField(RideColumn::Descrizione, ride.entry.testoDescrizione);
    rides.SetField(RideColumn::Durata, ride.entry.tempo);
    rides.Update();
}

// The ride the recordset stands on, its fields read in the order the
// queries by date give them; the key last, which a query by key need not give.
void ReadFields(TZTRecordset& stored, Rides::Row& row)
{
    row.date = stored.GetFieldAsDateTime(RideColumn::Data);
    row.type = stored.GetFieldAsInteger(RideColumn::IDTipoUscita);
    row.km = stored.GetFieldAsDouble(RideColumn::KM);
    row.duration = stored.GetFieldAsDateTime(RideColumn::Durata);
    row.description = stored.GetFieldAsString(RideColumn::Descrizione);
}

Rides::Ride AsRide(const Rides::Row& row)
{
    return Rides::Ride::OnDay(row.date, {0, row.type, row.km, row.duration, row.description});
}

// At most `limit` rows of `sql`, each handed to `visit`; the recordset is
// closed when it goes, on every path.
void VisitRows(TZTConnection& connection, const QString& sql, const Rides::RowVisitor& visit,
               qsizetype limit = -1)
{
    TZTRecordset rides(&connection);
    rides.Open(sql);
    Rides::Row row;
    for (qsizetype n = 0; n != limit && !rides.Eof(); ++n, rides.MoveNext()) {
        ReadFields(rides, row);
        row.key = rides.GetFieldAsInteger(RideColumn::IDUscita);
        visit(row);
    }
}

}

namespace Rides {

TDateTime Ride::Data() const
{
    return TDateTime::EncodeDate(anno, mese, entry.giorno);
}

Ride Ride::OnDay(TDateTime date, RideEntry entry)
{
    Ride ride;
    date.DecodeDate(ride.anno, ride.mese, entry.giorno);
    ride.entry = std::move(entry);
    return ride;
}

void Add(TZTConnection& connection, const Ride& ride)
{
    TZTRecordset rides(&connection);
    rides.OpenForAppend(Table);
    rides.AddNew();
    WriteFields(rides, ride);
}

void Change(TZTConnection& connection, int id, const Ride& ride)
{
    TZTRecordset rides(&connection);
    rides.Open(Sql::RideById(id));
    rides.Edit();
    WriteFields(rides, ride);
}

void Delete(TZTConnection& connection, int id)
{
    connection.Execute(Sql::DeleteRide(id));
}

Ride Read(TZTConnection& connection, int id)
{
    TZTRecordset stored(&connection);
    stored.Open(Sql::RideById(id));
    Row row;
    ReadFields(stored, row);
    return AsRide(row);
}

QList<RideType> Types(TZTConnection& connection)
{
    QList<RideType> types;
    TZTRecordset stored(&connection);
    for (stored.Open(Sql::RideTypes()); !stored.Eof(); stored.MoveNext())
        types.append({stored.GetFieldAsInteger(RideTypeColumn::IDTipoUscita),
                      stored.GetFieldAsString(RideTypeColumn::Descrizione)});
    return types;
}

QStringList TypeNames(TZTConnection& connection)
{
    QStringList names;
    for (const RideType& type : Types(connection)) {
        while (names.size() < type.key)
            names.append(QString());
        names.append(type.name);
    }
    return names;
}

Totals ReadTotals(TZTConnection& connection)
{
    TZTRecordset totals(&connection);
    totals.Open(Sql::RideTotals());
    return {totals.GetFieldAsInteger(QStringLiteral("Uscite")), totals.GetFieldAsDouble(RideColumn::KM)};
}

double YearKm(TZTConnection& connection, int year)
{
    TZTRecordset total(&connection);
    total.Open(Sql::YearKm(year));
    return total.Eof() ? 0.0 : total.GetFieldAsDouble(RideColumn::KM);
}

void ForEachInMonth(TZTConnection& connection, int year, int month, const RowVisitor& visit)
{
    VisitRows(connection, Sql::MonthRides(year, month), visit);
}

void ForEachInPeriod(TZTConnection& connection, TDateTime start, TDateTime end, const RowVisitor& visit)
{
    VisitRows(connection, Sql::RidesByDate(start, end), visit);
}

void ForEachLongest(TZTConnection& connection, TDateTime start, TDateTime end, const RowVisitor& visit)
{
    // Rides as long as the tenth come too: the first ten of them are the ten.
    VisitRows(connection, Sql::Top10(start, end), visit, 10);
}

void ForEach(TZTConnection& connection, const std::function<void(const Ride&)>& visit)
{
    VisitRows(connection, Sql::RidesByDate(), [&](const Row& row) { visit(AsRide(row)); });
}

void ForEach(TZTConnection& connection, TDateTime start, TDateTime end, const std::function<void(const Ride&)>& visit)
{
    ForEachInPeriod(connection, start, end, [&](const Row& row) { visit(AsRide(row)); });
}

void ForEachStored(TZTConnection& connection, const std::function<void(const StoredRide&)>& visit)
{
    TZTRecordset rides(&connection);
    rides.Open(Sql::RidesByDate());
    Row row;
    StoredRide stored;
    for (; !rides.Eof(); rides.MoveNext()) {
        ReadFields(rides, row);
        stored.key = rides.GetFieldAsInteger(RideColumn::IDUscita);
        stored.ride = AsRide(row);
        // Only a zero may hide a value that did not convert: the others need no text.
        const Ride& ride = stored.ride;
        const bool dayZero = ride.anno == 1899 && ride.mese == 12 && ride.entry.giorno == 30;
        stored.zeroDate = dayZero ? rides.GetFieldAsString(RideColumn::Data) : QString();
        stored.zeroDuration =
            ride.entry.tempo.Val() == 0.0 ? rides.GetFieldAsString(RideColumn::Durata) : QString();
        visit(stored);
    }
}

Appender::Appender(TZTConnection& connection)
    : m_rides(std::make_unique<TZTRecordset>(&connection))
{
    m_rides->OpenForAppend(Table);
}

Appender::~Appender() = default;

void Appender::AppendOlderLogRide(const Ride& ride)
{
    m_rides->AddNew();
    m_rides->SetField(RideColumn::IDTipoUscita, ride.entry.tipo);
    m_rides->SetField(RideColumn::Data, ride.Data());
    m_rides->SetField(RideColumn::Descrizione, ride.entry.testoDescrizione);
    m_rides->SetField(RideColumn::KM, ride.entry.chilometri);
    m_rides->SetField(RideColumn::Note, QString());
    m_rides->Update();
}

void Appender::AppendRide(const Ride& ride)
{
    m_rides->AddNew();
    WriteFields(*m_rides, ride);
}

int Appender::AppendedKey()
{
    return m_rides->GetFieldAsInteger(RideColumn::IDUscita);
}

}
