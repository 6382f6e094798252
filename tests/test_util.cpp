#include "support/ItalianLocale.h"
#include "util/CommandLine.h"
#include "util/DataLocation.h"
#include "util/Exception.h"
#include "util/Formats.h"
#include "util/SingleInstanceLock.h"
#include "util/StringTable.h"
#include "util/TDateTime.h"
#include "util/Unitutils.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cmath>
#include <QUrl>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

double Day(int year, int month, int day)
{
    return TDateTime::EncodeDate(year, month, day).Val();
}

double Time(int hour, int minute, int second, int msec = 0)
{
    return TDateTime::EncodeTime(hour, minute, second, msec).Val();
}

}

class TestUtil : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // Lock files go to a folder of our own, never the user's runtime folder.
        QVERIFY(m_runtime.isValid());
        QVERIFY(QFile::setPermissions(m_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    }

    void init() { UseItalianLocale(); }

    void dataLocation_data()
    {
        // Paths below a temporary folder; "home" is the home folder.
        QTest::addColumn<QString>("executable");
        QTest::addColumn<bool>("templates"); // ../share/kilovento beside the executable's folder
        QTest::addColumn<QString>("xdgDataHome"); // "-" for a relative one
        QTest::addColumn<QString>("database");
        QTest::newRow("a copy of its own") << u"usb/kilovento"_s << false << QString() << u"usb/kilovento.mdb"_s;
        QTest::newRow("renamed") << u"usb/giri"_s << false << QString() << u"usb/giri.mdb"_s;
        QTest::newRow("in a bin folder without templates") << u"opt/bin/kilovento"_s << false << u"data"_s
                                                           << u"opt/bin/kilovento.mdb"_s;
        QTest::newRow("templates, not in a bin folder") << u"usr/lib/kilovento"_s << true << u"data"_s
                                                        << u"usr/lib/kilovento.mdb"_s;
        QTest::newRow("installed") << u"usr/bin/kilovento"_s << true << u"data"_s << u"data/kilovento/kilovento.mdb"_s;
        QTest::newRow("installed, no XDG_DATA_HOME") << u"usr/bin/kilovento"_s << true << QString()
                                                     << u"home/.local/share/kilovento/kilovento.mdb"_s;
        QTest::newRow("installed, a relative XDG_DATA_HOME") << u"usr/bin/kilovento"_s << true << u"-"_s
                                                             << u"home/.local/share/kilovento/kilovento.mdb"_s;
    }

    // Installed as a package, the rides and settings live in the user's data
    // folder, made from the templates at the first start and never replaced.
    void dataLocation()
    {
        QFETCH(QString, executable);
        QFETCH(bool, templates);
        QFETCH(QString, xdgDataHome);
        QFETCH(QString, database);
        const QTemporaryDir dir;
        const QDir root(dir.path());
        QVERIFY(root.mkpath(QFileInfo(executable).path()) && root.mkpath(u"home"_s));
        const QString shared = QDir::cleanPath(root.filePath(QFileInfo(executable).path() + u"/../share/kilovento"_s));
        if (templates) {
            QVERIFY(QDir().mkpath(shared));
            for (const QString& name : {u"kilovento.ini"_s, u"kilovento.mdb"_s}) {
                QFile file(QDir(shared).filePath(name));
                QVERIFY(file.open(QIODevice::WriteOnly) && file.write(name.toUtf8()) > 0);
            }
        }
        const QString dataHome = xdgDataHome == u"-" ? u"relative/data"_s
                                 : xdgDataHome.isEmpty() ? QString() : root.filePath(xdgDataHome);
        const DataLocation location = DataLocation::For(root.filePath(executable), dataHome, root.filePath(u"home"_s));
        QCOMPARE(location.databasePath, root.filePath(database));
        QCOMPARE(location.settingsPath, root.filePath(database.chopped(4) + u".ini"_s));

        location.Prepare();
        QCOMPARE(QFileInfo::exists(location.databasePath), location.Installed());
        if (!location.Installed())
            return;
        for (const QString& path : {location.settingsPath, location.databasePath}) {
            QFile made(path);
            QVERIFY(made.open(QIODevice::ReadWrite));
            QCOMPARE(made.readAll(), QFileInfo(path).fileName().toUtf8());
            made.resize(0);
            made.write("the rider's own");
        }
        location.Prepare();
        for (const QString& path : {location.settingsPath, location.databasePath}) {
            QFile kept(path);
            QVERIFY(kept.open(QIODevice::ReadOnly));
            QCOMPARE(kept.readAll(), QByteArray("the rider's own"));
        }
        // A data folder that cannot be made is told, and nothing is left half made.
        const DataLocation blocked = DataLocation::For(root.filePath(executable), location.settingsPath,
                                                       root.filePath(u"home"_s));
        QVERIFY_THROWS_EXCEPTION(Exception, blocked.Prepare());
    }

    void italianNames()
    {
        QCOMPARE(QStringList({MonthName(1), MonthName(12), WeekdayName(1), WeekdayName(2), WeekdayName(7)}),
                 QStringList({u"Gennaio"_s, u"Dicembre"_s, u"Domenica"_s, u"Lunedì"_s, u"Sabato"_s}));
        QVERIFY_THROWS_EXCEPTION(EConvertError, MonthName(13));
        QVERIFY_THROWS_EXCEPTION(EConvertError, MonthName(0));
        QVERIFY_THROWS_EXCEPTION(EConvertError, WeekdayName(24));
        // Only a first letter from a to z is capitalised.
        QLocale::setDefault(QLocale(u"ru_RU"_s));
        QVERIFY(QLocale().monthName(1).at(0).isLower());
        QCOMPARE(MonthName(1), QLocale().monthName(1));
    }

    void dateHelpers()
    {
        QCOMPARE(QList<int>({DaysInMonth(2, 2000), DaysInMonth(2, 1900), DaysInMonth(2, 2004), DaysInMonth(2, 2005),
                             DaysInMonth(4, 2005), DaysInMonth(12, 2005)}),
                 QList<int>({29, 28, 29, 28, 30, 31}));
        const TDateTime evening(Day(2005, 2, 6) + 0.99);
        QCOMPARE(QList<int>({YearOf(evening), MonthOf(evening), DayOf(evening)}), QList<int>({2005, 2, 6}));
        QCOMPARE(CenteredTopLeft(QSize(1025, 769), QSize(500, 300)), QPoint(262, 234));
        // Truncated toward zero: -25 / 2 is -12, not -13.
        QCOMPARE(CenteredTopLeft(QSize(1000, 767), QSize(1025, 1000)), QPoint(-12, -116));
    }

    void encodeDate_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("dayOfWeek");
        QTest::newRow("day 0, a Saturday") << QDate(1899, 12, 30) << 0.0 << 7;
        QTest::newRow("the Friday before") << QDate(1899, 12, 29) << -1.0 << 6;
        QTest::newRow("1 March 1900") << QDate(1900, 3, 1) << 61.0 << 5;
        QTest::newRow("6 February 2005, a Sunday") << QDate(2005, 2, 6) << 38389.0 << 1;
        QTest::newRow("first day") << QDate(1, 1, 1) << -693593.0 << 2;
        QTest::newRow("last day") << QDate(9999, 12, 31) << 2958465.0 << 6;
    }

    void encodeDate()
    {
        QFETCH(QDate, date);
        QFETCH(double, value);
        QFETCH(int, dayOfWeek);
        QCOMPARE(Day(date.year(), date.month(), date.day()), value);
        QCOMPARE(TDateTime::FromQDate(date).Val(), value);
        // The time of day counts away from zero: -1.75 is 29 December 1899, 18:00.
        const TDateTime evening(value < 0 ? value - 0.75 : value + 0.75);
        QCOMPARE(evening.ToQDate(), date);
        QCOMPARE(evening.DateOnly().Val(), value);
        QCOMPARE(evening.DayOfWeek(), dayOfWeek);
        int y = 0, m = 0, d = 0;
        evening.DecodeDate(y, m, d);
        QCOMPARE(QDate(y, m, d), date);
    }

    void invalidDatesAndTimes()
    {
        TDateTime unused;
        const QList<QList<int>> dates = {{2005, 4, 31}, {1900, 2, 29}, {2005, 13, 1}, {0, 1, 1}, {10000, 1, 1}};
        for (const QList<int>& d : dates) {
            QVERIFY_THROWS_EXCEPTION(EConvertError, Day(d[0], d[1], d[2]));
            QVERIFY(!TDateTime::TryEncodeDate(d[0], d[1], d[2], unused));
        }
        for (const QList<int>& t : QList<QList<int>>{{24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}})
            QVERIFY_THROWS_EXCEPTION(EConvertError, Time(t[0], t[1], t[2], t[3]));
    }

    void time_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QList<int>>("hmsm");
        QTest::newRow("1:35:07") << (1 * 3600 + 35 * 60 + 7) / 86400.0 << QList<int>{1, 35, 7, 0};
        QTest::newRow("0:00:11, inexact in binary") << 11 / 86400.0 << QList<int>{0, 0, 11, 0};
        QTest::newRow("half a second") << 0.5 / 86400.0 << QList<int>{0, 0, 0, 500};
        QTest::newRow("last millisecond") << 86399999 / 86400000.0 << QList<int>{23, 59, 59, 999};
        QTest::newRow("date part ignored") << 38389.75 << QList<int>{18, 0, 0, 0};
        QTest::newRow("before day 0") << -1.25 << QList<int>{6, 0, 0, 0};
    }

    void time()
    {
        QFETCH(double, value);
        QFETCH(QList<int>, hmsm);
        int h = -1, m = -1, s = -1, ms = -1;
        TDateTime(value).DecodeTime(h, m, s, ms);
        QCOMPARE(QList<int>({h, m, s, ms}), hmsm);
        if (value >= 0 && value < 1)
            QCOMPARE(Time(hmsm[0], hmsm[1], hmsm[2], hmsm[3]), value);
    }

    void decode_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QDate>("date"); // invalid for a value with no date
        QTest::addColumn<QList<int>>("hmsm");
        QTest::addColumn<int>("dayOfWeek");
        const QList<int> midnight{0, 0, 0, 0};
        QTest::newRow("evening") << 38389.75 << QDate(2005, 2, 6) << QList<int>{18, 0, 0, 0} << 1;
        QTest::newRow("half a ms to midnight") << 38389.99999999537 << QDate(2005, 2, 7) << midnight << 2;
        QTest::newRow("last ms of the day") << 38389.0 + 86399999.4 / 86400000 << QDate(2005, 2, 6)
                                            << QList<int>{23, 59, 59, 999} << 1;
        QTest::newRow("-1.25") << -1.25 << QDate(1899, 12, 29) << QList<int>{6, 0, 0, 0} << 6;
        QTest::newRow("-1.5") << -1.5 << QDate(1899, 12, 29) << QList<int>{12, 0, 0, 0} << 6;
        QTest::newRow("-0.25 is day 0") << -0.25 << QDate(1899, 12, 30) << QList<int>{6, 0, 0, 0} << 7;
        QTest::newRow("carry toward day 0") << -1.99999999999 << QDate(1899, 12, 30) << midnight << 7;
        QTest::newRow("last ms of 9999") << Day(9999, 12, 31) + Time(23, 59, 59, 999) << QDate(9999, 12, 31)
                                         << QList<int>{23, 59, 59, 999} << 6;
        QTest::newRow("carry past 9999") << std::nextafter(Day(9999, 12, 31) + 1, 0.0) << QDate() << midnight << 0;
        QTest::newRow("before year 1") << Day(1, 1, 1) - 1 << QDate() << midnight << 0;
        for (const double value : {qQNaN(), qInf(), -qInf(), 1e300})
            QTest::addRow("%g", value) << value << QDate() << midnight << 0;
    }

    void decode()
    {
        QFETCH(double, value);
        QFETCH(QDate, date);
        QFETCH(QList<int>, hmsm);
        QFETCH(int, dayOfWeek);
        const TDateTime dateTime(value);
        int y = -1, mo = -1, d = -1, h = -1, mi = -1, s = -1, ms = -1;
        dateTime.DecodeDate(y, mo, d);
        dateTime.DecodeTime(h, mi, s, ms);
        QCOMPARE(dateTime.IsValid(), date.isValid());
        QCOMPARE(dateTime.ToQDate(), date);
        QCOMPARE(QDate(y, mo, d), date);
        QCOMPARE(y == 0 && mo == 0 && d == 0, !date.isValid());
        QCOMPARE(QList<int>({h, mi, s, ms}), hmsm);
        QCOMPARE(dateTime.DayOfWeek(), dayOfWeek);
        if (date.isValid())
            QCOMPARE(dateTime.DateOnly(), TDateTime::FromQDate(date));
        else
            QVERIFY(!dateTime.DateOnly().IsValid());
    }

    void formats_data()
    {
        // format: 1 and 2 are the decimals of a number; D duration, d date, S SQL date.
        QTest::addColumn<QString>("locale");
        QTest::addColumn<char>("format");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        const QString it = u"it_IT"_s, en = u"en_US"_s, de = u"de_DE"_s;
        QTest::newRow("42.5") << it << '1' << 42.5 << u"42,5"_s;
        QTest::newRow("no group separator") << it << '1' << 1234567.26 << u"1234567,3"_s;
        QTest::newRow("rounds up to the next unit") << it << '1' << 99.96 << u"100,0"_s;
        QTest::newRow("27.425 (just above in binary)") << it << '2' << 27.425 << u"27,43"_s;
        QTest::newRow("2.675 (just below in binary)") << it << '2' << 2.675 << u"2,67"_s;
        // Exact halves in binary round away from zero, in both signs.
        QTest::newRow("exact half, one decimal") << it << '1' << 0.25 << u"0,3"_s;
        QTest::newRow("exact half, negative") << it << '1' << -999.25 << u"-999,3"_s;
        QTest::newRow("exact half, two decimals") << it << '2' << 0.125 << u"0,13"_s;
        QTest::newRow("exact half, large") << it << '1' << 1073741824.25 << u"1073741824,3"_s;
        QTest::newRow("just above a half") << it << '1' << std::nextafter(0.25, 1.0) << u"0,3"_s;
        QTest::newRow("just below a half") << it << '1' << std::nextafter(0.25, 0.0) << u"0,2"_s;
        QTest::newRow("zero") << it << '2' << 0.0 << u"0,00"_s;
        QTest::newRow("negative zero") << it << '1' << -0.0 << u"0,0"_s;
        QTest::newRow("negative, rounds to zero") << it << '1' << -0.04 << u"-0,0"_s;
        QTest::newRow("below one") << it << '2' << 0.07 << u"0,07"_s;
        QTest::newRow("beyond 32 bits") << it << '2' << 98765432109.876 << u"98765432109,88"_s;
        QTest::newRow("beyond exact cents") << it << '1' << 1e17 << u"100000000000000000,0"_s;
        QTest::newRow("en_US 42.5") << en << '1' << 42.5 << u"42.5"_s;
        QTest::newRow("de_DE 1234.5") << de << '2' << 1234.5 << u"1234,50"_s;
        QTest::newRow("duration") << it << 'D' << Time(1, 35, 7) << u"1:35:07"_s;
        QTest::newRow("ten hours") << it << 'D' << Time(10, 0, 9) << u"10:00:09"_s;
        QTest::newRow("midnight") << it << 'D' << 0.0 << u"0:00:00"_s;
        QTest::newRow("milliseconds dropped") << it << 'D' << Time(23, 5, 59, 999) << u"23:05:59"_s;
        QTest::newRow("fi_FI time separator") << u"fi_FI"_s << 'D' << Time(1, 35, 7) << u"1.35.07"_s;
        QTest::newRow("date") << it << 'd' << Day(2005, 2, 6) << u"6/2/2005"_s;
        QTest::newRow("de_DE date separator") << de << 'd' << Day(2005, 2, 6) << u"6.2.2005"_s;
        QTest::newRow("SQL date") << it << 'S' << Day(2005, 2, 6) + 0.99 << u"2005-02-06"_s;
        QTest::newRow("SQL date, year 1") << it << 'S' << Day(1, 1, 1) << u"0001-01-01"_s;
        QTest::newRow("date, year 5") << it << 'd' << Day(5, 1, 1) << u"1/1/0005"_s;
        QTest::newRow("date, year 999") << it << 'd' << Day(999, 12, 31) << u"31/12/0999"_s;
        // Half a millisecond before midnight is the next day.
        QTest::newRow("date carried") << it << 'd' << 38389.99999999537 << u"7/2/2005"_s;
        QTest::newRow("SQL date carried") << it << 'S' << 38389.99999999537 << u"2005-02-07"_s;
        QTest::newRow("duration carried") << it << 'D' << 0.99999999999 << u"0:00:00"_s;
        QTest::newRow("duration NaN") << it << 'D' << qQNaN() << Formats::NoDuration;
        QTest::newRow("duration inf") << it << 'D' << qInf() << Formats::NoDuration;
        QTest::newRow("date -inf") << it << 'd' << -qInf() << Formats::NotAvailable;
        QTest::newRow("SQL date NaN") << it << 'S' << qQNaN() << QString();
        QTest::newRow("distance inf") << it << '1' << qInf() << Formats::NotAvailable;
        QTest::newRow("average NaN") << it << '2' << qQNaN() << Formats::NotAvailable;
    }

    void formats()
    {
        QFETCH(QString, locale);
        QFETCH(char, format);
        QFETCH(double, value);
        QFETCH(QString, expected);
        QLocale::setDefault(QLocale(locale));
        const TDateTime date(value);
        // Lists take the locale's separators once and format many values with them.
        const Formats::Separators separators = Formats::Separators::Current();
        switch (format) {
        case '1':
            QCOMPARE(Formats::OneDecimal(value), expected);
            QCOMPARE(Formats::OneDecimal(value, separators), expected);
            break;
        case '2':
            QCOMPARE(Formats::TwoDecimals(value), expected);
            QCOMPARE(Formats::TwoDecimals(value, separators), expected);
            break;
        case 'D':
            QCOMPARE(Formats::Duration(date), expected);
            QCOMPARE(Formats::Duration(date, separators), expected);
            break;
        case 'd': QCOMPARE(Formats::Date(date), expected); break;
        default: QCOMPARE(Formats::SqlDate(date), expected);
        }
    }

    void numbersMatchTheGeneralFormat_data()
    {
        // Values from first to last in steps of step, plus random ones in that range.
        QTest::addColumn<int>("decimals");
        QTest::addColumn<double>("first");
        QTest::addColumn<double>("last");
        QTest::addColumn<double>("step");
        QTest::newRow("quarters") << 1 << -2000.0 << 2000.0 << 0.25;
        QTest::newRow("eighths") << 2 << -2000.0 << 2000.0 << 0.125;
        QTest::newRow("hundredths") << 1 << -50.0 << 50.0 << 0.01;
        QTest::newRow("thousandths") << 2 << -10.0 << 10.0 << 0.001;
        QTest::newRow("near 1e8") << 1 << 99999990.0 << 100000010.0 << 0.05;
        QTest::newRow("near 1e9") << 2 << 9999999.0 << 10000001.0 << 0.005;
    }

    void numbersMatchTheGeneralFormat()
    {
        QFETCH(int, decimals);
        QFETCH(double, first);
        QFETCH(double, last);
        QFETCH(double, step);
        QRandomGenerator random(20240607);
        const auto check = [decimals](double value) {
            const QString expected = QString::number(value, 'f', decimals).replace(u'.', u',');
            const QString text = decimals == 1 ? Formats::OneDecimal(value) : Formats::TwoDecimals(value);
            if (text != expected)
                qWarning("%.17g", value);
            return text == expected;
        };
        for (double k = 0; first + k * step <= last; ++k) {
            QVERIFY(check(first + k * step));
            QVERIFY(check(std::nextafter(first + k * step, last)));
            QVERIFY(check(first + random.bounded(1.0) * (last - first)));
        }
    }

    void durationsMatchTheGeneralFormat_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QChar>("separator");
        QTest::newRow("it_IT") << u"it_IT"_s << QChar(u':');
        QTest::newRow("fi_FI") << u"fi_FI"_s << QChar(u'.');
    }

    void durationsMatchTheGeneralFormat()
    {
        QFETCH(QString, locale);
        QFETCH(QChar, separator);
        QLocale::setDefault(QLocale(locale));
        const Formats::Separators separators = Formats::Separators::Current();
        for (int second = 0; second < int(TDateTime::SecsPerDay); ++second) {
            const QString expected = QString::asprintf("%d:%02d:%02d", second / 3600, second / 60 % 60, second % 60)
                                         .replace(u':', separator);
            QCOMPARE(Formats::Duration(TDateTime(second / TDateTime::SecsPerDay), separators), expected);
        }
    }

    void cmdLineSwitch_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("found");
        QTest::newRow("slash, lower case") << QStringList{u"/nosplash"_s} << true;
        QTest::newRow("dash, upper case") << QStringList{u"-NOSPLASH"_s} << true;
        QTest::newRow("among others") << QStringList{u"/MINIMIZE"_s, u"file.dat"_s, u"-nosplash"_s} << true;
        QTest::newRow("no prefix") << QStringList{u"NOSPLASH"_s} << false;
        QTest::newRow("longer name") << QStringList{u"/NOSPLASH1"_s} << false;
        QTest::newRow("double dash") << QStringList{u"--NOSPLASH"_s} << false;
        QTest::newRow("empty argument") << QStringList{QString()} << false;
    }

    void cmdLineSwitch()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, found);
        QCOMPARE(FindCmdLineSwitch(arguments, u"NOSPLASH"_s), found);
    }

    // Each parameter either a switch (left out) or a file, made absolute
    // against the starting folder: a path's leading "/" makes no switch.
    void cmdLineFiles_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("the six switches, any case") << QStringList{u"/nosplash"_s, u"-MINIMIZE"_s, u"/Debug"_s,
            u"-nosound"_s, u"/IMPORTENABLED"_s, u"-NoPromptOnClose"_s} << QStringList{};
        QTest::newRow("absolute path") << QStringList{u"/home/x.fit"_s} << QStringList{u"/home/x.fit"_s};
        QTest::newRow("path named like a switch") << QStringList{u"/DEBUG/a.gpx"_s} << QStringList{u"/DEBUG/a.gpx"_s};
        QTest::newRow("unknown switch is a file") << QStringList{u"/NOSPLASH1"_s} << QStringList{u"/NOSPLASH1"_s};
        QTest::newRow("relative path") << QStringList{u"giri/b.tcx"_s} << QStringList{u"/base/dir/giri/b.tcx"_s};
        QTest::newRow("parent folder") << QStringList{u"../c.fit.gz"_s} << QStringList{u"/base/c.fit.gz"_s};
        QTest::newRow("switch without prefix is a file") << QStringList{u"MINIMIZE"_s}
                                                         << QStringList{u"/base/dir/MINIMIZE"_s};
        QTest::newRow("mixed, order kept") << QStringList{u"b.fit"_s, u"/NOSPLASH"_s, u"/tmp/a.fit"_s, QString()}
                                           << QStringList{u"/base/dir/b.fit"_s, u"/tmp/a.fit"_s};
    }

    void cmdLineFiles()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, files);
        QCOMPARE(CmdLineFiles(arguments, QDir(u"/base/dir"_s)), files);
    }

    void stringTable()
    {
        for (int id : {10001, 10002, 10004, 10005, 10006, 10007, 11001}) {
            const QString text = StringTable::LoadStr(id);
            QVERIFY2(!text.isEmpty() && !text.contains(u'\r') && !text.contains(u'\t'), qPrintable(text));
        }
        for (int id : {10003, 0, -1, 10000, 10008, 11002})
            QVERIFY2(StringTable::LoadStr(id).isEmpty(), qPrintable(QString::number(id)));
        QVERIFY(StringTable::LoadStr(StringTable::PrintCredit).startsWith(u' '));
        QVERIFY(StringTable::LoadStr(StringTable::EMail).contains(u'@'));
        const QUrl url(StringTable::LoadStr(StringTable::WebAddress), QUrl::StrictMode);
        QVERIFY(url.isValid() && url.scheme().startsWith(u"http") && !url.host().isEmpty());
    }

    void lockExcludesOnlyTheSameName()
    {
        QCOMPARE(QFileInfo(SingleInstanceLock::LockPath(u"Uno"_s)).dir().canonicalPath(),
                 QDir(m_runtime.path()).canonicalPath());
        auto first = std::make_unique<SingleInstanceLock>(u"Uno"_s);
        QVERIFY(first->Acquired());
        // A refused attempt going away must not free the holder's lock.
        for (int attempt = 0; attempt < 2; ++attempt)
            QVERIFY(!SingleInstanceLock(u"Uno"_s).Acquired());
        QVERIFY(SingleInstanceLock(u"Due"_s).Acquired());
        first.reset();
        QVERIFY(SingleInstanceLock(u"Uno"_s).Acquired());
    }

    void lockReleasedWhenHolderIsKilled()
    {
        const QString flock = QStandardPaths::findExecutable(u"flock"_s);
        if (flock.isEmpty())
            QSKIP("flock (util-linux) is not installed");
        // --no-fork: the process killed is the one holding the lock; it prints once it holds it.
        QProcess holder;
        holder.start(flock, {u"--no-fork"_s, SingleInstanceLock::LockPath(u"Tre"_s), u"sh"_s, u"-c"_s,
                             u"echo locked; exec sleep 60"_s});
        while (!holder.canReadLine() && holder.waitForReadyRead(10000)) {
        }
        QCOMPARE(holder.readLine(), QByteArray("locked\n"));
        QVERIFY(!SingleInstanceLock(u"Tre"_s).Acquired());
        holder.kill();
        QVERIFY(holder.waitForFinished(10000));
        QVERIFY(SingleInstanceLock(u"Tre"_s).Acquired());
    }

private:
    QTemporaryDir m_runtime;
};

QTEST_GUILESS_MAIN(TestUtil)
#include "test_util.moc"
