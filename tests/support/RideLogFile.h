#pragma once

#include "data/RideLog.h"

#include <QString>

#include <memory>

// The ride log of the database file at `path`, opened as the program opens it.
inline std::unique_ptr<RideLog> OpenRideLog(const QString& path)
{
    auto log = std::make_unique<RideLog>(path, QStringLiteral("Provider=SQLite;Data Source=%DATASOURCE%"));
    log->Open();
    return log;
}
