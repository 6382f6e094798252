#include "data/RideEntry.h"
#include "support/ItalianLocale.h"

#include <QtTest>

class TestRide : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void validation_data();
    void validation();
    void dayLists_data();
    void dayLists();
    void distanceText_data();
    void distanceText();
    void usableDuration_data();
    void usableDuration();
};

void TestRide::validation_data()
{
    QTest::addColumn<QString>("km");
    QTest::addColumn<QStringList>("duration"); // hours, minutes, seconds
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("message"); // empty when accepted
    QTest::addColumn<double>("chilometri");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("stored");

    const QString km = RideValidation::DistanceMessage;
    const QString duration = RideValidation::DurationMessage;
    const QStringList none{QString(), QString(), QString()};
    QTest::newRow("zero km") << u"0"_qs << none << QString() << QString() << 0.0 << 0 << QString();
    QTest::newRow("999 km") << u"999"_qs << none << QString() << QString() << 999.0 << 0 << QString();
    QTest::newRow("decimal comma") << u"42,5"_qs << none << QString() << QString() << 42.5 << 0 << QString();
    QTest::newRow("999,5 km") << u"999,5"_qs << none << QString() << km << 0.0 << 0 << QString();
    QTest::newRow("empty km") << QString() << none << QString() << km << 0.0 << 0 << QString();
    QTest::newRow("decimal point") << u"42.5"_qs << none << QString() << km << 0.0 << 0 << QString();
    QTest::newRow("separator alone") << u","_qs << none << QString() << km << 0.0 << 0 << QString();
    QTest::newRow("distance before duration") << u"1000"_qs << QStringList{u"24"_qs, u"0"_qs, u"0"_qs} << QString()
                                              << km << 0.0 << 0 << QString();
    QTest::newRow("23:59:59") << u"10"_qs << QStringList{u"23"_qs, u"59"_qs, u"59"_qs} << QString() << QString()
                              << 10.0 << 86399 << QString();
    QTest::newRow("24 hours") << u"10"_qs << QStringList{u"24"_qs, u"0"_qs, u"0"_qs} << QString() << duration << 0.0
                              << 0 << QString();
    QTest::newRow("60 minutes") << u"10"_qs << QStringList{u"0"_qs, u"60"_qs, u"0"_qs} << QString() << duration << 0.0
                                << 0 << QString();
    QTest::newRow("60 seconds") << u"10"_qs << QStringList{u"0"_qs, u"0"_qs, u"60"_qs} << QString() << duration << 0.0
                                << 0 << QString();
    QTest::newRow("0:0:1 is one second") << u"10"_qs << QStringList{u"0"_qs, u"0"_qs, u"1"_qs} << QString() << QString()
                                         << 10.0 << 1 << QString();
    QTest::newRow("only minutes") << u"10"_qs << QStringList{QString(), u"5"_qs, QString()} << QString() << QString()
                                  << 10.0 << 300 << QString();
    QTest::newRow("blank description") << u"10"_qs << none << u"   "_qs << QString() << 10.0 << 0 << QString();
    QTest::newRow("description trimmed") << u"10"_qs << none << u"  Giro del lago \t"_qs << QString() << 10.0 << 0
                                         << u"Giro del lago"_qs;
    QTest::newRow("forbidden characters") << u"10"_qs << none << u"100% *top* d'estate"_qs << QString() << 10.0 << 0
                                          << u"100 top destate"_qs;
}

void TestRide::validation()
{
    QFETCH(QString, km);
    QFETCH(QStringList, duration);
    QFETCH(QString, description);
    QFETCH(QString, message);
    QFETCH(double, chilometri);
    QFETCH(int, seconds);
    QFETCH(QString, stored);

    RideValidation::Fields fields;
    fields.dayIndex = 4;
    fields.typeIndex = 2;
    fields.km = km;
    fields.hours = duration.at(0);
    fields.minutes = duration.at(1);
    fields.seconds = duration.at(2);
    fields.description = description;
    const RideValidation::Result result = RideValidation::Validate(fields);
    QCOMPARE(result.fault ? result.fault->message : QString(), message);
    if (!message.isEmpty())
        return;
    QCOMPARE(result.entry.chilometri, chilometri);
    QCOMPARE(result.entry.tempo.Val(), seconds / 86400.0);
    QCOMPARE(result.entry.testoDescrizione, stored);
    QCOMPARE(result.entry.giorno, 5);
    QCOMPARE(result.entry.tipo, 2);
}

void TestRide::dayLists_data()
{
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("days");
    QTest::newRow("February of a leap year") << 2 << 2004 << 29;
    QTest::newRow("February of 2000") << 2 << 2000 << 29;
    QTest::newRow("February of a common year") << 2 << 2005 << 28;
    QTest::newRow("April") << 4 << 2005 << 30;
    QTest::newRow("December") << 12 << 2005 << 31;
}

void TestRide::dayLists()
{
    QFETCH(int, month);
    QFETCH(int, year);
    QFETCH(int, days);
    const QStringList list = RideValidation::DayList(month, year);
    QCOMPARE(list.size(), days);
    QCOMPARE(list.first(), u"1"_qs);
    QCOMPARE(list.last(), QString::number(days));
}

void TestRide::distanceText_data()
{
    QTest::addColumn<double>("km");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole") << 42.0 << u"42"_qs;
    QTest::newRow("one decimal") << 42.5 << u"42,5"_qs;
    QTest::newRow("no trailing zeros") << 27.25 << u"27,25"_qs;
    QTest::newRow("no group separator") << 999.0 << u"999"_qs;
    QTest::newRow("zero") << 0.0 << u"0"_qs;
}

void TestRide::distanceText()
{
    QFETCH(double, km);
    QFETCH(QString, text);
    QCOMPARE(RideValidation::DistanceText(km), text);
}

void TestRide::usableDuration_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("usable");
    QTest::addColumn<bool>("counted"); // shown and added up
    QTest::addColumn<QStringList>("shown"); // hours, minutes, seconds
    const auto seconds = [](double s) { return s / TDateTime::SecsPerDay; };
    const QStringList empty{QString(), QString(), QString()}, day{u"24"_qs, u"0"_qs, u"0"_qs};
    QTest::newRow("none") << 0.0 << true << false << empty;
    QTest::newRow("one second") << seconds(1) << true << true << QStringList{u"0"_qs, u"0"_qs, u"1"_qs};
    QTest::newRow("23:59:59") << seconds(86399) << true << true << QStringList{u"23"_qs, u"59"_qs, u"59"_qs};
    QTest::newRow("rounds to 24:00:00") << 0.99999999999 << false << false << day;
    QTest::newRow("24:00:00") << 1.0 << false << false << day;
    QTest::newRow("25:30:00") << 1.0625 << false << false << QStringList{u"25"_qs, u"30"_qs, u"0"_qs};
    QTest::newRow("negative") << -seconds(1) << false << false << empty;
    QTest::newRow("NaN") << qQNaN() << false << false << empty;
    QTest::newRow("inf") << qInf() << false << false << empty;
    QTest::newRow("-inf") << -qInf() << false << false << empty;
}

void TestRide::usableDuration()
{
    QFETCH(double, value);
    QFETCH(bool, usable);
    QFETCH(bool, counted);
    QFETCH(QStringList, shown);
    QCOMPARE(RideValidation::IsUsableDuration(TDateTime(value)), usable);
    QCOMPARE(RideValidation::IsCountedDuration(TDateTime(value)), counted);
    QCOMPARE(RideValidation::DurationTexts(TDateTime(value)), shown);
    if (!usable)
        return;
    // What the dialog shows of a usable duration stores it again unchanged.
    RideValidation::Fields fields;
    fields.km = u"10"_qs;
    fields.hours = shown[0];
    fields.minutes = shown[1];
    fields.seconds = shown[2];
    QCOMPARE(RideValidation::Validate(fields).entry.tempo.Val(), value);
}

QTEST_GUILESS_MAIN(TestRide)
#include "test_ride.moc"
