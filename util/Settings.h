#pragma once

#include <QString>

// The options the rider can change, as kept in the "OPTIONS" section.
struct Options
{
    bool calendarHotTrack = false;
    QString printFont = QStringLiteral("Arial");
    int printVerticalMargin = 2;   // percent, 0..10
    int printHorizontalMargin = 1; // percent, 0..10
    int yearGoal = 0;              // kilometres, 0..99999; 0 for none
    bool autoBackup = true;        // a checked backup at each close after a change
};

struct Settings
{
    QString connectionStringTemplate; // as written in the file
    QString connectionString;         // with the placeholders filled in
    Options options;
};

namespace SettingsFile {

// The file beside the executable with the given extension: /opt/kv/kilovento + ".ini".
QString SiblingPath(const QString& executablePath, const QString& extension);

// "%DATASOURCE%" first, then "%PASSWORD%"; case-sensitive, every occurrence.
// The path is inserted as a value the connection string reads back whole,
// quoted when it needs to be, and its own text is never replaced.
QString ExpandConnectionString(const QString& connectionTemplate, const QString& dataSource);

// A missing file or key gives the defaults; out-of-range values are corrected.
// Throws Exception when the file is there but cannot be read: read as empty,
// it would lose the connection string and, written back at exit, the options.
Settings Read(const QString& iniPath, const QString& dataSource);

// Writes only the options' keys of "OPTIONS", keeping every other line; throws Exception on failure.
void WriteOptions(const QString& iniPath, const Options& options);

}
