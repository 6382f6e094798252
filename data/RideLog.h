#pragma once

#include "data/BikeStore.h"
#include "data/Bikes.h"
#include "data/MonthRides.h"
#include "data/Rides.h"
#include "data/Statistics.h"
#include "gps/GpsImport.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class TZTConnection;

// The ride log as the windows and commands see it: the database file, the
// connection string it is opened with, the one connection, and the verbs on
// the rides. Nothing outside the core reaches the connection but through
// WithDatabaseReleased, for the work on the file itself.
class RideLog
{
public:
    using ConnectionFactory = std::function<std::unique_ptr<TZTConnection>()>;

    // `connectionTemplate` as the settings file has it ("%DATASOURCE%" and
    // "%PASSWORD%" still in it). Makes the connection, closed; throws
    // Exception when the database layer cannot start.
    RideLog(QString databaseFile, QString connectionTemplate, const ConnectionFactory& makeConnection = {});
    ~RideLog();
    RideLog(const RideLog&) = delete;
    RideLog& operator=(const RideLog&) = delete;

    // Throws Exception when the database cannot be opened.
    void Open();
    void Close() noexcept;
    bool IsOpen() const;

    const QString& DatabaseFile() const { return m_databaseFile; }
    const QString& ConnectionTemplate() const { return m_connectionTemplate; }
    // The template with its placeholders filled in.
    const QString& ConnectionString() const { return m_connectionString; }

    // Reads of the rides; each throws Exception when the database refuses it.
    MonthRides Month(int year, int month);
    // Ride type names, position k being the type whose key is k.
    QStringList TypeNames();
    QList<Rides::RideType> Types();
    Statistics::YearProgress YearProgress(int goal, const QDate& today);
    // Reads every past year: for the moment the figures are asked for.
    Statistics::YearOutlook YearOutlook(const Statistics::YearProgress& progress);
    // Every year before `year` that has rides, with its distance.
    QList<Rides::YearByDay> YearsBefore(int year);
    // The distance of each day of `first`..`last`, `first`'s first.
    QList<double> KmByDay(const QDate& first, const QDate& last);
    Rides::Totals Totals();
    Rides::Ride Read(int id);
    // The statistics of result.DataInizio..result.DataTermine but the ten
    // longest rides, then those: each throws on its own, as Statistics says.
    void ComputeStatistics(StatisticsResult& result);
    void ReadLongestRides(StatisticsResult& result);

    // The ride, and its link to `bike` (none for 0), in one transaction.
    void Add(const Rides::Ride& ride, int bike = 0);
    // The link is left alone for nullopt, else set (0: no bike); one transaction.
    void Change(int id, const Rides::Ride& ride, std::optional<int> bike = std::nullopt);
    void Delete(int id);
    // The bike of ride `id`; 0 for none.
    int BikeOf(int id);
    BikeStore Bikes();
    // The parts of `bike` (every bike for 0) at or near their limit, most worn first.
    QList<Bikes::Wear> DueParts(int bike, const QDate& today);

    // What the log knows of first..last for judging device files' sessions:
    // the remembered spans around those days, and the rides of those days.
    GpsImport::KnownRides KnownRides(QDate first, QDate last);
    // Stores the ticked candidates that may be stored, each with its span, in
    // one transaction; returns the newest day stored, invalid when none.
    QDate AddImported(const std::vector<GpsImport::Candidate>& candidates);

    // The connection for the core's bulk work on the rides (the imports'
    // appends, the export's read), open or not.
    TZTConnection& Connection() { return *m_connection; }

    // Runs `work` on the database file itself (compaction, backup, restore),
    // handing it the log's connection, which the work closes once it holds
    // the file. Returns whether the log was closed by the work, and so must
    // be opened again (Open) before the rides can be read.
    bool WithDatabaseReleased(const std::function<void(TZTConnection* inUse)>& work);

private:
    QString m_databaseFile;
    QString m_connectionTemplate;
    QString m_connectionString;
    std::unique_ptr<TZTConnection> m_connection;
};
