#pragma once

#include "util/TDateTime.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class TZTConnection;

// One month of the log as the month list shows it: every ride's values, the
// texts of a row on demand (a month is shown a screenful at a time), and the
// four summary figures, formatted for the user's locale.
struct MonthRides
{
    struct Row
    {
        int id = 0; // IDUscita
        TDateTime date;
        int type = 0; // IDTipoUscita
        double km = 0.0;
        TDateTime duration;
        QString description;
    };

    // A row as the list shows and the month report prints it.
    struct RowTexts
    {
        QString number, day, type, km, duration, speed, description;
    };

    struct Summary
    {
        QString km, rides, kmPerRide, kmPerDay;
    };

    QList<Row> rows;
    QStringList typeNames; // by type key
    // Absent only in an empty MonthRides, which shows no month.
    std::optional<Summary> summary;

    // Reads the ride types and the month's rides through the rides module.
    // Throws Exception when a query cannot be opened or a row cannot be read:
    // part of a month, and totals over it, would mislead.
    static MonthRides Load(TZTConnection& connection, int year, int month);

    // The texts of rows[index], numbered from 1 in list order; a type without
    // a name (possible only in files older than the schema's foreign key)
    // shows an empty text.
    RowTexts Texts(qsizetype index) const;

    // The "Giorno" text: weekday name, a blank and the day of the month.
    static QString DayText(int weekday, int day);
    // "Durata" and "KM/h" of a ride, "---" for both without a usable duration.
    static void DurationAndSpeed(double km, double duration, QString& durationText, QString& speedText);
};

// Rows are moved about as they are read: their strings move with their bytes.
Q_DECLARE_TYPEINFO(MonthRides::Row, Q_RELOCATABLE_TYPE);
