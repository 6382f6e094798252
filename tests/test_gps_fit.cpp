// The FIT reader on real devices' files and on files of the tests' own making
// (damaged, chained, compressed timestamps, developer fields, either byte
// order), and the gzip inflation of compressed device files.

#include "gps/DeviceFile.h"
#include "gps/GzipInflate.h"
#include "support/FitWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <zlib.h>

#include <cmath>
#include <optional>

Q_DECLARE_METATYPE(DeviceSession)

namespace {

using Sessions = QList<DeviceSession>;

QDateTime Utc(const char* text)
{
    QDateTime time = QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
    time.setTimeZone(QTimeZone::utc());
    return time;
}

DeviceSession Session(QDateTime start, std::optional<int> offset, const char* sport, const char* subSport,
                      double distance, double timer, double elapsed)
{
    DeviceSession session;
    session.start = start;
    session.utcOffsetSeconds = offset;
    session.sport = QString::fromLatin1(sport);
    session.subSport = QString::fromLatin1(subSport);
    session.distanceMetres = distance;
    session.timerSeconds = timer;
    session.elapsedSeconds = elapsed;
    return session;
}

QString Describe(const DeviceSession& s)
{
    return QStringLiteral("%1 %2 %3/%4 %5 m %6 s %7 s")
        .arg(s.start.isValid() ? s.start.toString(Qt::ISODate) : QStringLiteral("(no date)"),
             s.utcOffsetSeconds ? QString::number(*s.utcOffsetSeconds) : QStringLiteral("-"), s.sport, s.subSport)
        .arg(s.distanceMetres, 0, 'f', 3)
        .arg(s.timerSeconds, 0, 'f', 4)
        .arg(s.elapsedSeconds, 0, 'f', 4);
}

// Distance to the centimetre, times to the millisecond, the rest exactly.
bool Same(const DeviceSession& a, const DeviceSession& b)
{
    return a.start == b.start && a.start.isValid() == b.start.isValid() && a.utcOffsetSeconds == b.utcOffsetSeconds
           && a.sport == b.sport && a.subSport == b.subSport && std::abs(a.distanceMetres - b.distanceMetres) < 0.005
           && std::abs(a.timerSeconds - b.timerSeconds) < 0.0005
           && std::abs(a.elapsedSeconds - b.elapsedSeconds) < 0.0005;
}

void CompareSessions(const DeviceFile& file, const Sessions& expected)
{
    QStringList got, wanted;
    for (const DeviceSession& s : file.sessions)
        got << Describe(s);
    for (const DeviceSession& s : expected)
        wanted << Describe(s);
    QCOMPARE(got.size(), wanted.size());
    for (qsizetype i = 0; i < expected.size(); ++i)
        if (!Same(file.sessions[size_t(i)], expected[i]))
            QCOMPARE(got[i], wanted[i]);
}

QByteArray Gzip(const QByteArray& content)
{
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    QByteArray out(int(deflateBound(&stream, uLong(content.size()))), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
    stream.avail_in = uInt(content.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
}

constexpr quint8 Cycling = 2, Running = 1, Walking = 11, Generic = 0, Road = 7, Gravel = 46, None = 0xFF;

// A ride as a device writes it: file id, records, a lap, the session, the activity.
QByteArray Ride(quint32 start = FitWriter::Time(Utc("2024-05-01T07:30:00")), int headerSize = 14)
{
    FitWriter fit;
    fit.FileId(start);
    fit.Record(start, 0);
    fit.Record(start + 10, 5000);
    fit.Lap(start, Cycling, Road, 10000, 9000, 5000);
    fit.Session(start, Cycling, Road, 10000, 9000, 5000);
    fit.Activity(start + 10, start + 10 + 7200);
    return fit.File(headerSize);
}

const DeviceSession RideSession =
    Session(Utc("2024-05-01T07:30:00"), 7200, "cycling", "road", 50.0, 9.0, 10.0);

} // namespace

class TestGpsFit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void samples_data();
    void samples();
    void made_data();
    void made();
    void damage();
    void gzip_data();
    void gzip();
    void read_data();
    void read();
    void unreadable_data();
    void unreadable();
};

void TestGpsFit::samples_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<Sessions>("sessions");
    QTest::addColumn<QString>("fault");

    QTest::newRow("cycling, pauses") << u"2015-10-13-08-43-15.fit"_qs
        << Sessions{Session(Utc("2015-10-13T15:43:15"), {}, "cycling", "generic", 11536.43, 1558.198, 1623.198)}
        << QString();
    QTest::newRow("power meter") << u"Edge810-Vector-2013-08-16-15-35-10.fit"_qs
        << Sessions{Session(Utc("2013-08-16T18:05:10"), {}, "cycling", "generic", 41339.38, 4700.05, 4700.05)}
        << QString();
    QTest::newRow("no sub-sport") << u"sample-activity.fit"_qs
        << Sessions{Session(Utc("2011-06-26T21:18:39"), {}, "cycling", "", 88797.21, 10699.36, 11741.57)}
        << QString();
    QTest::newRow("indoor trainer") << u"sample-activity-indoor-trainer.fit"_qs
        << Sessions{Session(Utc("2011-11-02T12:54:19"), {}, "cycling", "generic", 0.0, 2261.85, 2261.85)}
        << QString();
    QTest::newRow("virtual ride, absurd offset") << u"null_compressed_speed_dist.fit"_qs
        << Sessions{Session(Utc("2017-10-05T00:04:06"), -876098089, "cycling", "virtual_activity", 13400.14, 1808.0,
                            1807.0)}
        << QString();
    QTest::newRow("walk with offset") << u"garmin-fenix-5-walk.fit"_qs
        << Sessions{Session(Utc("2017-06-11T14:32:51"), -25200, "walking", "generic", 67.85, 45.379, 45.379)}
        << QString();
    QTest::newRow("developer fields") << u"developer-types-sample.fit"_qs
        << Sessions{Session(Utc("2017-01-17T17:06:47"), {}, "running", "generic", 6753.99, 3424.0, 3424.0)}
        << QString();
    QTest::newRow("compressed timestamps, device time") << u"compressed-speed-distance.fit"_qs
        << Sessions{Session(QDateTime(), {}, "running", "", 10248.67, 3772.75, 3883.273)} << QString();
    QTest::newRow("multisport") << u"activity-large-fenxi2-multisport.fit"_qs
        << Sessions{Session(Utc("2015-08-29T08:00:01"), 7200, "generic", "", 25072.07, 11738.24, 11738.24),
                    Session(Utc("2015-08-29T10:30:24"), 7200, "transition", "", 224.24, 334.79, 334.79),
                    Session(Utc("2015-08-29T10:36:00"), 7200, "running", "", 2245.23, 2294.84, 2294.84),
                    Session(Utc("2015-08-29T11:14:16"), 7200, "transition", "", 3.63, 4.3, 4.3),
                    Session(Utc("2015-08-29T11:14:21"), 7200, "running", "", 12740.37, 6764.48, 6764.48),
                    Session(Utc("2015-08-29T13:07:07"), 7200, "transition", "", 617.55, 269.81, 269.81),
                    Session(Utc("2015-08-29T13:11:37"), 7200, "cycling", "", 28928.27, 3211.0, 3211.0)}
        << QString();
    QTest::newRow("file CRC wrong") << u"activity-filecrc.fit"_qs << Sessions{}
                                    << u"file danneggiato: CRC non valido"_qs;
    QTest::newRow("chained header wrong") << u"activity-settings-corruptheader.fit"_qs << Sessions{}
                                          << u"file danneggiato: intestazione non valida"_qs;
}

void TestGpsFit::samples()
{
    QFETCH(QString, file);
    QFETCH(Sessions, sessions);
    QFETCH(QString, fault);
    QFile input(QStringLiteral(KV_GPS_DATA "/") + file);
    QVERIFY2(input.open(QIODevice::ReadOnly), qPrintable(input.errorString()));
    const DeviceFile read = DeviceFiles::ReadFit(input.readAll());
    QCOMPARE(read.fault, fault);
    CompareSessions(read, sessions);
}

void TestGpsFit::made_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Sessions>("sessions");
    QTest::addColumn<QString>("fault");

    const quint32 t0 = FitWriter::Time(Utc("2024-05-01T07:30:00"));
    const QByteArray ride = Ride(t0);
    QTest::newRow("14-byte header") << ride << Sessions{RideSession} << QString();
    QTest::newRow("12-byte header") << Ride(t0, 12) << Sessions{RideSession} << QString();
    {
        FitWriter fit;
        fit.Session(t0, Cycling, Road, 10000, 9000, 5000);
        QTest::newRow("header check left out") << fit.File(14, false)
            << Sessions{Session(Utc("2024-05-01T07:30:00"), {}, "cycling", "road", 50.0, 9.0, 10.0)} << QString();
    }
    {
        QByteArray bytes = ride;
        bytes[12] = char(bytes[12] ^ 0x01);
        // The file's check made right again: only the header's is wrong.
        bytes.chop(2);
        const quint16 crc = FitWriter::Crc(bytes);
        bytes += char(crc & 0xFF);
        bytes += char(crc >> 8);
        QTest::newRow("header check wrong") << bytes << Sessions{} << u"file danneggiato: intestazione non valida"_qs;
    }
    {
        QByteArray bytes = ride;
        bytes[bytes.size() - 1] = char(bytes[bytes.size() - 1] ^ 0x40);
        QTest::newRow("file check wrong") << bytes << Sessions{} << u"file danneggiato: CRC non valido"_qs;
    }
    QTest::newRow("padding after the file") << ride + QByteArray(100, '\0') << Sessions{RideSession} << QString();
    QTest::newRow("text after the file") << ride + QByteArray("\nend of file\n") << Sessions{RideSession}
                                         << QString();
    {
        const quint32 t1 = FitWriter::Time(Utc("2024-05-02T18:00:00"));
        FitWriter second;
        second.Session(t1, Running, Generic, 600000, 590000, 180000);
        QTest::newRow("two files chained") << ride + second.File(12)
            << Sessions{RideSession, Session(Utc("2024-05-02T18:00:00"), {}, "running", "generic", 1800.0, 590.0, 600.0)}
            << QString();
        QByteArray misnamed = second.File();
        misnamed[9] = 'G';
        QTest::newRow("chained file's signature wrong") << ride + misnamed << Sessions{}
                                                        << u"file danneggiato: intestazione non valida"_qs;
        QTest::newRow("chained file cut") << ride + second.File().chopped(3) << Sessions{}
                                          << u"file danneggiato: file troncato"_qs;
    }
    {
        FitWriter fit;
        fit.Sport(Walking, Generic);
        fit.Lap(t0, Cycling, Gravel, 1200000, 1100000, 1000000);
        fit.Lap(t0 + 1200, None, None, 600000, 500000, 250000);
        fit.Activity(t0 + 1800, t0 + 1800 + 3600);
        QTest::newRow("laps without a session") << fit.File()
            << Sessions{Session(Utc("2024-05-01T07:30:00"), 3600, "cycling", "gravel_cycling", 12500.0, 1600.0, 1800.0)}
            << QString();
    }
    {
        FitWriter fit;
        fit.Sport(Cycling, 48);
        fit.Lap(t0, None, None, 60000, 60000, 40000);
        QTest::newRow("laps without a sport: the sport message's") << fit.File()
            << Sessions{Session(Utc("2024-05-01T07:30:00"), {}, "cycling", "commuting", 400.0, 60.0, 60.0)}
            << QString();
    }
    {
        // Every 5 s for a minute, a stop of 2 minutes, every 5 s for a minute more.
        FitWriter fit;
        fit.Sport(21, Generic);
        quint32 distance = 0;
        for (int s = 0; s <= 60; s += 5)
            fit.Record(t0 + s, distance += 2500);
        fit.Record(t0 + 70, 0xFFFFFFFF);
        for (int s = 190; s <= 250; s += 5)
            fit.Record(t0 + s, distance += 2500);
        QTest::newRow("records without laps") << fit.File()
            << Sessions{Session(Utc("2024-05-01T07:30:00"), {}, "e_biking", "generic", distance / 100.0, 130.0, 250.0)}
            << QString();
    }
    {
        FitWriter fit;
        fit.Record(t0, 100);
        QTest::newRow("one record, no sport") << fit.File()
            << Sessions{Session(Utc("2024-05-01T07:30:00"), {}, "", "", 1.0, 0.0, 0.0)} << QString();
    }
    {
        // Compressed headers across a rollover of the five low bits, and one
        // 61 s on, which five bits cannot tell from 29 s.
        FitWriter fit;
        fit.Define(0, 20, {{253, FitWriter::UInt32}, {5, FitWriter::UInt32}});
        const quint32 base = t0 | 0x1C;
        fit.Data(0, {base, 1000});
        fit.Define(1, 20, {{5, FitWriter::UInt32}});
        fit.Compressed(1, base + 2, {2000});
        fit.Compressed(1, base + 6, {3000});  // past the rollover: 0x1C + 6 = 0x22
        fit.Compressed(1, base + 10, {4000});
        fit.Compressed(1, base + 71, {9000}); // read as base + 39
        QTest::newRow("compressed timestamps") << fit.File()
            << Sessions{Session(QDateTime::fromSecsSinceEpoch(631065600 + base, QTimeZone::utc()), {}, "", "", 90.0, 39.0,
                                39.0)}
            << QString();
    }
    {
        FitWriter fit;
        fit.Define(7, 18, {{2, FitWriter::UInt32}, {9, FitWriter::UInt32}, {5, FitWriter::Enum}, {7, FitWriter::UInt32},
                           {8, FitWriter::UInt32}, {6, FitWriter::Enum}},
                   {3, 17}, true);
        fit.Data(7, {t0, 4242424, Cycling, 7200000, 7000000, 8});
        QTest::newRow("big-endian definition, developer fields") << fit.File()
            << Sessions{Session(Utc("2024-05-01T07:30:00"), {}, "cycling", "mountain", 42424.24, 7000.0, 7200.0)}
            << QString();
    }
    {
        FitWriter fit;
        fit.Define(0, 18, {{2, FitWriter::UInt32}, {7, FitWriter::UInt32}}, {200, 1, 0});
        fit.Data(0, {t0, 3000});
        fit.Define(1, 34, {{253, FitWriter::UInt32}, {5, FitWriter::UInt32}}, {4}, true);
        fit.Data(1, {t0 + 3, t0 + 3 - 1800});
        QTest::newRow("developer fields skipped, big-endian activity") << fit.File()
            << Sessions{Session(Utc("2024-05-01T07:30:00"), -1800, "", "", 0.0, 0.0, 3.0)} << QString();
    }
    {
        FitWriter fit;
        fit.Session(0xFFFFFFFF, None, None, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF);
        QTest::newRow("invalid values are absent") << fit.File() << Sessions{Session(QDateTime(), {}, "", "", 0, 0, 0)}
                                                   << QString();
    }
    {
        FitWriter fit;
        fit.Define(0, 18, {{253, FitWriter::UInt32}, {7, FitWriter::UInt32}, {8, FitWriter::UInt32}});
        fit.Data(0, {t0 + 100, 100500, 90000});
        QTest::newRow("session without a start: its end less its length") << fit.File()
            << Sessions{Session(Utc("2024-05-01T07:30:00"), {}, "", "", 0, 90.0, 100.5)} << QString();
    }
    {
        FitWriter fit;
        fit.Session(17217864, Running, None, 3883273, 3772750, 1024867);
        fit.Activity(17217864 + 3883, 17217864 + 3883);
        QTest::newRow("device-relative time") << fit.File()
            << Sessions{Session(QDateTime(), {}, "running", "", 10248.67, 3772.75, 3883.273)} << QString();
    }
    {
        FitWriter fit;
        fit.Session(t0, 200, 250, 1000, 1000, 0);
        fit.Session(t0 + 10, 17, 58, 1000, 1000, 0);
        QTest::newRow("sports by number") << fit.File()
            << Sessions{Session(Utc("2024-05-01T07:30:00"), {}, "sport_200", "sub_sport_250", 0, 1.0, 1.0),
                        Session(Utc("2024-05-01T07:30:10"), {}, "hiking", "virtual_activity", 0, 1.0, 1.0)}
            << QString();
    }
    {
        FitWriter fit;
        fit.FileId(t0);
        QTest::newRow("no activity") << fit.File() << Sessions{} << QString();
    }
    {
        FitWriter fit;
        fit.FileId(t0);
        fit.Raw(QByteArray::fromHex("03"));
        QTest::newRow("data without a definition") << fit.File() << Sessions{}
                                                   << u"file danneggiato: messaggio non valido al byte 49"_qs;
    }
    {
        FitWriter fit;
        fit.FileId(t0);
        fit.Raw(QByteArray::fromHex("40000000120302"));
        QTest::newRow("definition past the data") << fit.File() << Sessions{}
                                                  << u"file danneggiato: messaggio non valido al byte 49"_qs;
    }
    {
        FitWriter fit;
        fit.Raw(QByteArray::fromHex("4000020012000000"));
        QTest::newRow("byte order unknown") << fit.File() << Sessions{}
                                            << u"file danneggiato: messaggio non valido al byte 14"_qs;
    }
    QTest::newRow("empty") << QByteArray() << Sessions{} << u"file danneggiato: file vuoto"_qs;
    QTest::newRow("not a FIT file") << QByteArray("<?xml version=\"1.0\"?><gpx/>") << Sessions{}
                                    << u"file danneggiato: intestazione non valida"_qs;
}

void TestGpsFit::made()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Sessions, sessions);
    QFETCH(QString, fault);
    const DeviceFile read = DeviceFiles::ReadFit(bytes);
    QCOMPARE(read.fault, fault);
    CompareSessions(read, sessions);
}

// Cut anywhere or with any byte changed, a file is never half read.
void TestGpsFit::damage()
{
    const QByteArray ride = Ride();
    QVERIFY(DeviceFiles::ReadFit(ride).fault.isEmpty());
    for (qsizetype size = 0; size < ride.size(); ++size) {
        const DeviceFile read = DeviceFiles::ReadFit(ride.first(size));
        QVERIFY2(read.fault.startsWith(u"file danneggiato: "), qPrintable(QString::number(size)));
        QVERIFY2(read.sessions.empty(), qPrintable(QString::number(size)));
    }
    for (qsizetype at = 0; at < ride.size(); ++at) {
        for (const quint8 flip : {0x01, 0x80, 0xFF}) {
            QByteArray changed = ride;
            changed[at] = char(changed[at] ^ flip);
            const DeviceFile read = DeviceFiles::ReadFit(changed);
            const QString where = QStringLiteral("byte %1 ^ %2").arg(at).arg(flip);
            QVERIFY2(read.fault.startsWith(u"file danneggiato: "), qPrintable(where));
            QVERIFY2(read.sessions.empty(), qPrintable(where));
        }
    }
}

void TestGpsFit::gzip_data()
{
    QTest::addColumn<QByteArray>("compressed");
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("fault");

    const QByteArray ride = Ride();
    QByteArray large;
    for (int i = 0; i < 20000; ++i)
        large += ride;
    const QByteArray one = Gzip(ride);
    QTest::newRow("one member") << one << qint64(1 << 20) << ride << QString();
    QTest::newRow("content of many times the input") << Gzip(large) << qint64(large.size()) << large << QString();
    QTest::newRow("two members") << one + Gzip("more") << qint64(1 << 20) << ride + "more" << QString();
    QTest::newRow("padding after the last member") << one + QByteArray(64, '\0') << qint64(1 << 20) << ride
                                                   << QString();
    QTest::newRow("more than the limit") << Gzip(large) << qint64(large.size() - 1) << QByteArray()
                                         << u"file danneggiato: contenuto decompresso troppo grande"_qs;
    QTest::newRow("cut") << one.chopped(5) << qint64(1 << 20) << QByteArray()
                         << u"file danneggiato: archivio gzip troncato"_qs;
    QTest::newRow("second member cut") << one + Gzip(ride).first(20) << qint64(1 << 20) << QByteArray()
                                       << u"file danneggiato: archivio gzip troncato"_qs;
    QByteArray wrongCheck = one;
    wrongCheck[wrongCheck.size() - 6] = char(wrongCheck[wrongCheck.size() - 6] ^ 0x10);
    QTest::newRow("content's check wrong") << wrongCheck << qint64(1 << 20) << QByteArray()
                                           << u"file danneggiato: archivio gzip non valido"_qs;
    QTest::newRow("not gzip") << ride << qint64(1 << 20) << QByteArray()
                              << u"file danneggiato: archivio gzip non valido"_qs;
}

void TestGpsFit::gzip()
{
    QFETCH(QByteArray, compressed);
    QFETCH(qint64, limit);
    QFETCH(QByteArray, content);
    QFETCH(QString, fault);
    const GzipInflate::Result result = GzipInflate::Inflate(compressed, limit);
    QCOMPARE(result.fault, fault);
    QCOMPARE(result.bytes.size(), content.size());
    QVERIFY(result.bytes == content);
}

QByteArray Sample(const char* name)
{
    QFile file(QStringLiteral(KV_GPS_DATA "/") + QString::fromLatin1(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// By name, case aside, else by content; compressed or not. Each file reads as
// its content does through the reader its format names.
void TestGpsFit::read_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("compressed");
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QString>("fault");

    const QByteArray ride = Ride();
    const QByteArray gpx = Sample("track-with-empty-segment.gpx");
    const QByteArray tcx = Sample("sup_activity_1.tcx");
    QVERIFY(!gpx.isEmpty() && !tcx.isEmpty());
    QTest::newRow("FIT") << u"ride.fit"_qs << ride << false << u"fit"_qs << QString();
    QTest::newRow("capitals: the name wins over the content") << u"RIDE.GPX"_qs << ride << false << u"gpx"_qs
                                                              << QString();
    QTest::newRow("FIT, gzip") << u"ride.fit.gz"_qs << ride << true << u"fit"_qs << QString();
    QTest::newRow("FIT, gzip, no format named") << u"ride.gz"_qs << ride << true << u"fit"_qs << QString();
    QTest::newRow("FIT, no extension") << u"ride"_qs << ride << false << u"fit"_qs << QString();
    QTest::newRow("FIT, compressed under another name") << u"ride.bin"_qs << ride << true << u"fit"_qs << QString();
    QTest::newRow("GPX") << u"track.gpx"_qs << gpx << false << u"gpx"_qs << QString();
    QTest::newRow("GPX by content, byte-order mark") << u"waypoints.xml"_qs << Sample("unicode_with_bom.gpx") << false
                                                     << u"gpx"_qs << QString();
    QTest::newRow("GPX by content, comment first") << u"track"_qs << "<!-- exported -->\n" + gpx.mid(gpx.indexOf("<gpx"))
                                                   << false << u"gpx"_qs << QString();
    QTest::newRow("TCX") << u"run.tcx"_qs << tcx << false << u"tcx"_qs << QString();
    QTest::newRow("TCX by content") << u"run.xml"_qs << tcx << false << u"tcx"_qs << QString();
    QTest::newRow("gzip cut") << u"ride.fit.gz"_qs << Gzip(ride).chopped(4) << false << QString()
                              << u"file danneggiato: archivio gzip troncato"_qs;
    QTest::newRow("not gzip") << u"ride.fit.gz"_qs << ride << false << QString()
                              << u"file danneggiato: archivio gzip non valido"_qs;
    QTest::newRow("other format") << u"notes.txt"_qs << QByteArray("<html><body>ride</body></html>") << false
                                  << QString() << u"file danneggiato: formato non riconosciuto"_qs;
    QTest::newRow("gpx element's name only begun") << u"notes"_qs << QByteArray("<gpxdata/>") << false << QString()
                                                   << u"file danneggiato: formato non riconosciuto"_qs;
}

void TestGpsFit::read()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, compressed);
    QFETCH(QString, reader);
    QFETCH(QString, fault);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(name);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray bytes = compressed ? Gzip(content) : content;
    QCOMPARE(file.write(bytes), bytes.size());
    file.close();

    DeviceFile expected;
    if (reader == u"fit")
        expected = DeviceFiles::ReadFit(content);
    else if (reader == u"gpx")
        expected = DeviceFiles::ReadGpx(content);
    else if (reader == u"tcx")
        expected = DeviceFiles::ReadTcx(content);
    else
        expected.fault = fault;

    const DeviceFile read = DeviceFiles::Read(path);
    QCOMPARE(read.path, path);
    QCOMPARE(read.fault, expected.fault);
    CompareSessions(read, Sessions(expected.sessions.begin(), expected.sessions.end()));
}

void TestGpsFit::unreadable_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing") << u"gone.fit"_qs;
    QTest::newRow("a folder") << u"folder.fit"_qs;
}

void TestGpsFit::unreadable()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(u"folder.fit"_qs));
    const QString path = dir.filePath(name);
    const DeviceFile read = DeviceFiles::Read(path);
    QCOMPARE(read.path, path);
    QVERIFY2(read.fault.startsWith(u"impossibile leggere il file: "), qPrintable(read.fault));
    QVERIFY(read.fault.size() > u"impossibile leggere il file: "_qs.size());
    QVERIFY(read.sessions.empty());
}

QTEST_GUILESS_MAIN(TestGpsFit)
#include "test_gps_fit.moc"
