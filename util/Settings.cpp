#include "util/Settings.h"

#include "util/IniFile.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString Database = QStringLiteral("DATABASE");
const QString OptionsSection = QStringLiteral("OPTIONS");
const QString ConnectionStringKey = QStringLiteral("ConnectionString");
const QString HotTrackKey = QStringLiteral("CalendarHotTrack");
const QString PrintFontKey = QStringLiteral("PrintFont");
const QString VerticalMarginKey = QStringLiteral("PrintVerticalMargin");
const QString HorizontalMarginKey = QStringLiteral("PrintHorizontalMargin");

// The password the shipped connection strings may name with "%PASSWORD%".
const QString DatabasePassword = QStringLiteral("girasole");

int MarginOrDefault(int value, int fallback)
{
    return value < 0 || value > 10 ? fallback : value;
}

}

namespace SettingsFile {

QString SiblingPath(const QString& executablePath, const QString& extension)
{
    const QFileInfo info(executablePath);
    QString name = info.fileName();
    if (const qsizetype dot = name.lastIndexOf(u'.'); dot > 0)
        name.truncate(dot);
    return info.dir().filePath(name + extension);
}

QString ExpandConnectionString(const QString& connectionTemplate, const QString& dataSource)
{
    QString result = connectionTemplate;
    result.replace(QStringLiteral("%DATASOURCE%"), dataSource, Qt::CaseSensitive);
    result.replace(QStringLiteral("%PASSWORD%"), DatabasePassword, Qt::CaseSensitive);
    return result;
}

Settings Read(const QString& iniPath, const QString& dataSource)
{
    const IniFile ini(iniPath);
    Settings settings;
    settings.connectionStringTemplate = ini.ReadString(Database, ConnectionStringKey, QString());
    settings.connectionString = ExpandConnectionString(settings.connectionStringTemplate, dataSource);

    Options& options = settings.options;
    const Options defaults;
    options.calendarHotTrack = ini.ReadInteger(OptionsSection, HotTrackKey, 0) != 0;
    options.printFont = ini.ReadString(OptionsSection, PrintFontKey, defaults.printFont);
    if (options.printFont.trimmed().isEmpty())
        options.printFont = defaults.printFont;
    options.printVerticalMargin = MarginOrDefault(
        ini.ReadInteger(OptionsSection, VerticalMarginKey, defaults.printVerticalMargin),
        defaults.printVerticalMargin);
    options.printHorizontalMargin = MarginOrDefault(
        ini.ReadInteger(OptionsSection, HorizontalMarginKey, defaults.printHorizontalMargin),
        defaults.printHorizontalMargin);
    return settings;
}

void WriteOptions(const QString& iniPath, const Options& options)
{
    IniFile ini(iniPath);
    ini.WriteInteger(OptionsSection, HotTrackKey, options.calendarHotTrack ? 1 : 0);
    ini.WriteString(OptionsSection, PrintFontKey, options.printFont);
    ini.WriteInteger(OptionsSection, VerticalMarginKey, options.printVerticalMargin);
    ini.WriteInteger(OptionsSection, HorizontalMarginKey, options.printHorizontalMargin);
    ini.UpdateFile();
}

}
