#include "util/Settings.h"

#include "util/Exception.h"
#include "util/IniFile.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

const QString Database = QStringLiteral("DATABASE");
const QString OptionsSection = QStringLiteral("OPTIONS");
const QString ConnectionStringKey = QStringLiteral("ConnectionString");
const QString HotTrackKey = QStringLiteral("CalendarHotTrack");
const QString PrintFontKey = QStringLiteral("PrintFont");
const QString VerticalMarginKey = QStringLiteral("PrintVerticalMargin");
const QString HorizontalMarginKey = QStringLiteral("PrintHorizontalMargin");
const QString YearGoalKey = QStringLiteral("YearGoal");
const QString AutoBackupKey = QStringLiteral("AutoBackup");

const QString DataSourcePlaceholder = QStringLiteral("%DATASOURCE%");
const QString PasswordPlaceholder = QStringLiteral("%PASSWORD%");
// The password the shipped connection strings may name with "%PASSWORD%".
const QString DatabasePassword = QStringLiteral("girasole");

bool IsQuote(QChar c)
{
    return c == u'"' || c == u'\'';
}

// The quote still open at the end of `text`, read as the connection-string
// parser reads it: a quote opens only at the start of a value, and inside
// it a doubled quote stands for one.
QChar OpenQuote(QStringView text)
{
    QChar quote;
    bool inValue = false;
    bool valueStarted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!quote.isNull()) {
            if (c == quote && i + 1 < text.size() && text.at(i + 1) == quote)
                ++i;
            else if (c == quote)
                quote = QChar();
        } else if (c == u';') {
            inValue = valueStarted = false;
        } else if (!inValue) {
            inValue = (c == u'=');
        } else if (!valueStarted && !c.isSpace()) {
            valueStarted = true;
            if (IsQuote(c))
                quote = c;
        }
    }
    return quote;
}

// A path as a connection-string value. Inside a value that the template
// quotes, only that quote needs doubling; a bare value is quoted when it
// holds what would end it or be trimmed off.
QString AsValue(const QString& path, QChar enclosingQuote)
{
    const auto doubled = [&path](QChar quote) { return QString(path).replace(quote, QString(2, quote)); };
    if (!enclosingQuote.isNull())
        return doubled(enclosingQuote);
    const bool plain = !path.contains(u';') && !std::any_of(path.begin(), path.end(), IsQuote)
                       && path.trimmed().size() == path.size();
    return plain ? path : u'"' + doubled(u'"') + u'"';
}

int MarginOrDefault(int value, int fallback)
{
    return value < 0 || value > 10 ? fallback : value;
}

int YearGoalOrNone(int value)
{
    return value < 0 || value > 99999 ? 0 : value;
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
    // The password goes into the template's own text only, so a path is never rescanned.
    const auto withPassword = [](QStringView text) {
        return text.toString().replace(PasswordPlaceholder, DatabasePassword, Qt::CaseSensitive);
    };
    const QStringView text(connectionTemplate);
    QString result;
    qsizetype from = 0;
    for (qsizetype at; (at = text.indexOf(DataSourcePlaceholder, from)) >= 0;) {
        result += withPassword(text.sliced(from, at - from));
        result += AsValue(dataSource, OpenQuote(text.first(at)));
        from = at + DataSourcePlaceholder.size();
    }
    return result + withPassword(text.sliced(from));
}

Settings Read(const QString& iniPath, const QString& dataSource)
{
    const IniFile ini(iniPath);
    if (!ini.ReadError().isEmpty())
        throw Exception(QStringLiteral("impossibile leggere il file delle impostazioni %1: %2")
                            .arg(QDir::toNativeSeparators(iniPath), ini.ReadError()));
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
    options.yearGoal = YearGoalOrNone(ini.ReadInteger(OptionsSection, YearGoalKey, defaults.yearGoal));
    options.autoBackup = ini.ReadInteger(OptionsSection, AutoBackupKey, 1) != 0;
    return settings;
}

void WriteOptions(const QString& iniPath, const Options& options)
{
    IniFile ini(iniPath);
    ini.WriteInteger(OptionsSection, HotTrackKey, options.calendarHotTrack ? 1 : 0);
    ini.WriteString(OptionsSection, PrintFontKey, options.printFont);
    ini.WriteInteger(OptionsSection, VerticalMarginKey, options.printVerticalMargin);
    ini.WriteInteger(OptionsSection, HorizontalMarginKey, options.printHorizontalMargin);
    ini.WriteInteger(OptionsSection, YearGoalKey, options.yearGoal);
    ini.WriteInteger(OptionsSection, AutoBackupKey, options.autoBackup ? 1 : 0);
    ini.UpdateFile();
}

}
