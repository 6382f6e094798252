#include "data/RideLog.h"

#include "data/ImportedSpans.h"
#include "data/TZTConnection.h"
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
}

void RideLog::ReadLongestRides(StatisticsResult& result)
{
    Statistics::ReadTop10(*m_connection, result);
}

void RideLog::Add(const Rides::Ride& ride)
{
    Rides::Add(*m_connection, ride);
}

void RideLog::Change(int id, const Rides::Ride& ride)
{
    Rides::Change(*m_connection, id, ride);
}

void RideLog::Delete(int id)
{
    Rides::Delete(*m_connection, id);
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
