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
// queries by date give them.
Rides::Ride CurrentRide(TZTRecordset& stored)
{
    const TDateTime date = stored.GetFieldAsDateTime(RideColumn::Data);
    RideEntry entry;
    entry.tipo = stored.GetFieldAsInteger(RideColumn::IDTipoUscita);
    entry.chilometri = stored.GetFieldAsDouble(RideColumn::KM);
    entry.tempo = stored.GetFieldAsDateTime(RideColumn::Durata);
    entry.testoDescrizione = stored.GetFieldAsString(RideColumn::Descrizione);
    return Rides::Ride::OnDay(date, std::move(entry));
}

void VisitAll(TZTConnection& connection, const QString& sql, const std::function<void(const Rides::Ride&)>& visit)
{
    TZTRecordset rides(&connection);
    rides.Open(sql);
    for (; !rides.Eof(); rides.MoveNext())
        visit(CurrentRide(rides));
}

}

// Each recordset here is closed when it goes, on every path.
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
    rides.Open(Sql::RideTable());
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
    return CurrentRide(stored);
}

QList<RideType> Types(TZTConnection& connection)
{
    QList<RideType> types;
    TZTRecordset stored(&connection);
    const RecordsetCloser closer(stored);
    stored.Open(Sql::RideTypes());
    for (; !stored.Eof(); stored.MoveNext())
        types.append({stored.GetFieldAsInteger(RideTypeColumn::IDTipoUscita),
                      stored.GetFieldAsString(RideTypeColumn::Descrizione)});
    return types;
}

Totals ReadTotals(TZTConnection& connection)
{
    TZTRecordset totals(&connection);
    const RecordsetCloser closer(totals);
    totals.Open(Sql::RideTotals());
    return {totals.GetFieldAsInteger(QStringLiteral("Uscite")), totals.GetFieldAsDouble(RideColumn::KM)};
}

void ForEach(TZTConnection& connection, const std::function<void(const Ride&)>& visit)
{
    VisitAll(connection, Sql::RidesByDate(), visit);
}

void ForEach(TZTConnection& connection, TDateTime start, TDateTime end, const std::function<void(const Ride&)>& visit)
{
    VisitAll(connection, Sql::RidesByDate(start, end), visit);
}

void ForEachStored(TZTConnection& connection, const std::function<void(const StoredRide&)>& visit)
{
    TZTRecordset rides(&connection);
    rides.Open(Sql::RidesByDate());
    StoredRide stored;
    for (; !rides.Eof(); rides.MoveNext()) {
        stored.key = rides.GetFieldAsInteger(RideColumn::IDUscita);
        stored.ride = CurrentRide(rides);
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
    // The rows are only appended to, never read.
    m_rides->Open(Sql::AllRidesByKey());
}

Appender::~Appender() = default;

void Appender::Append(const Ride& ride)
{
    m_rides->AddNew();
    m_rides->SetField(RideColumn::IDTipoUscita, ride.entry.tipo);
    m_rides->SetField(RideColumn::Data, ride.Data());
    m_rides->SetField(RideColumn::Descrizione, ride.entry.testoDescrizione);
    m_rides->SetField(RideColumn::KM, ride.entry.chilometri);
    m_rides->SetField(RideColumn::Note, QString());
    m_rides->Update();
}

void Appender::Add(const Ride& ride)
{
    m_rides->AddNew();
    WriteFields(*m_rides, ride);
}

}
