#include "data/RideLog.h"

#include "data/ImportedSpans.h"
#include "data/TZTConnection.h"
#include "data/Transaction.h"
#include "util/Settings.h"

RideLog::RideLog(QString databaseFile, QString connectionTemplate, const ConnectionFactory& makeConnection)
    : m_databaseFile(std::move(databaseFile)),
      m_connectionTemplate(std::move(connectionTemplate)),
      m_connectionString(SettingsFile::ExpandConnectionString(m_connectionTemplate, m_databaseFile)),
      m_connection(makeConnection ? makeConnection() : std::make_unique<TZTConnection>())
{
}

RideLog::~RideLog() = default;

void RideLog::Open()
{
    m_connection->Open(m_connectionString);
}

void RideLog::Close() noexcept
{
    m_connection->Close();
}

bool RideLog::IsOpen() const
{
    return m_connection->IsOpen();
}

MonthRides RideLog::Month(int year, int month)
{
    return MonthRides::Load(*m_connection, year, month);
}

QList<Rides::RideType> RideLog::Types()
{
    return Rides::Types(*m_connection);
}

QStringList RideLog::TypeNames()
{
    return Rides::TypeNames(*m_connection);
}

Statistics::YearProgress RideLog::YearProgress(int goal, const QDate& today)
{
    return Statistics::ReadProgress(*m_connection, goal, today);
}

Statistics::YearOutlook RideLog::YearOutlook(const Statistics::YearProgress& progress)
{
    return Statistics::ReadOutlook(*m_connection, progress);
}

QList<Rides::YearByDay> RideLog::YearsBefore(int year)
{
    return Rides::YearsByDay(*m_connection, QDate(year, 1, 1));
}

QList<double> RideLog::KmByDay(const QDate& first, const QDate& last)
{
    return Rides::KmByDay(*m_connection, first, last);
}

Rides::Totals RideLog::Totals()
{
    return Rides::ReadTotals(*m_connection);
}

Rides::Ride RideLog::Read(int id)
{
    return Rides::Read(*m_connection, id);
}

void RideLog::ComputeStatistics(StatisticsResult& result)
{
    Statistics::ComputePeriod(*m_connection, result);
    result.Bici = Bikes::ReadPeriod(*m_connection, result.DataInizio, result.DataTermine);
}

void RideLog::ReadLongestRides(StatisticsResult& result)
{
    Statistics::ReadTop10(*m_connection, result);
}

void RideLog::Add(const Rides::Ride& ride, int bike)
{
    if (bike == 0) {
        Rides::Add(*m_connection, ride);
        return;
    }
    Transaction transaction(*m_connection);
    Rides::Appender rides(*m_connection);
    rides.AppendRide(ride);
    Bikes::Linker(*m_connection).Link(rides.AppendedKey(), bike);
    transaction.Commit();
}

void RideLog::Change(int id, const Rides::Ride& ride, std::optional<int> bike)
{
    if (!bike) {
        Rides::Change(*m_connection, id, ride);
        return;
    }
    Transaction transaction(*m_connection);
    Rides::Change(*m_connection, id, ride);
    Bikes::RelinkRide(*m_connection, id, *bike);
    transaction.Commit();
}

void RideLog::Delete(int id)
{
    Rides::Delete(*m_connection, id);
}

int RideLog::BikeOf(int id)
{
    return Bikes::BikeOfRide(*m_connection, id);
}

BikeStore RideLog::Bikes()
{
    return BikeStore(*m_connection);
}

QList<Bikes::Wear> RideLog::DueParts(int bike, const QDate& today)
{
    const Bikes::Garage garage = Bikes::Read(*m_connection);
    if (garage.parts.isEmpty())
        return {};
    return Bikes::Due(garage, Bikes::ReadUsage(*m_connection, garage, today), bike);
}

GpsImport::KnownRides RideLog::KnownRides(QDate first, QDate last)
{
    return ImportedSpans::Known(*m_connection, first, last);
}

QDate RideLog::AddImported(const std::vector<GpsImport::Candidate>& candidates)
{
    return ImportedSpans::Store(*m_connection, candidates);
}

bool RideLog::WithDatabaseReleased(const std::function<void(TZTConnection* inUse)>& work)
{
    const bool wasOpen = IsOpen();
    work(m_connection.get());
    return wasOpen && !IsOpen();
}
