#include "data/BikeStore.h"

Bikes::Garage BikeStore::Garage() const
{
    return Bikes::Read(*m_connection);
}

Bikes::Usage BikeStore::Usage(const Bikes::Garage& garage, const QDate& today) const
{
    return Bikes::ReadUsage(*m_connection, garage, today);
}

int BikeStore::AddBike(const Bikes::Bike& bike)
{
    return Bikes::AddBike(*m_connection, bike);
}

void BikeStore::ChangeBike(const Bikes::Bike& bike)
{
    Bikes::ChangeBike(*m_connection, bike);
}

void BikeStore::DeleteBike(int bike)
{
    Bikes::DeleteBike(*m_connection, bike);
}

void BikeStore::SetDefaultBike(int rideType, int bike)
{
    Bikes::SetDefaultBike(*m_connection, rideType, bike);
}

int BikeStore::AddPart(const Bikes::Part& part, const Bikes::Fitting& fitting)
{
    return Bikes::AddPart(*m_connection, part, fitting);
}

void BikeStore::ChangePart(const Bikes::Part& part)
{
    Bikes::ChangePart(*m_connection, part);
}

void BikeStore::MovePart(int part, int bike, const QDate& day)
{
    Bikes::MovePart(*m_connection, part, bike, day);
}

int BikeStore::ReplacePart(int part, const QDate& day)
{
    return Bikes::ReplacePart(*m_connection, part, day);
}

void BikeStore::RetirePart(int part, const QDate& day)
{
    Bikes::RetirePart(*m_connection, part, day);
}

void BikeStore::DeletePart(int part)
{
    Bikes::DeletePart(*m_connection, part);
}
