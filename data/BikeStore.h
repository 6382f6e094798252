#pragma once

#include "data/Bikes.h"

class TZTConnection;

// The bikes and parts of one log, for the windows: the Bikes verbs on the
// log's connection. Cheap to copy; valid while the log is.
class BikeStore
{
public:
    explicit BikeStore(TZTConnection& connection) : m_connection(&connection) {}

    Bikes::Garage Garage() const;
    Bikes::Usage Usage(const Bikes::Garage& garage, const QDate& today) const;

    int AddBike(const Bikes::Bike& bike);
    void ChangeBike(const Bikes::Bike& bike);
    void DeleteBike(int bike);
    void SetDefaultBike(int rideType, int bike);

    int AddPart(const Bikes::Part& part, const Bikes::Fitting& fitting);
    void ChangePart(const Bikes::Part& part);
    void MovePart(int part, int bike, const QDate& day);
    int ReplacePart(int part, const QDate& day);
    void RetirePart(int part, const QDate& day);
    void DeletePart(int part);

private:
    TZTConnection* m_connection;
};
