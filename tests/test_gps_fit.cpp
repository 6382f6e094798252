// The FIT reader on real devices' files and on files of the tests' own making
// (damaged, chained, compressed timestamps, developer fields, either byte
// order), the gzip inflation of compressed device files, and reading by name.

#include "gps/DeviceFile.h"
#include "gps/GzipInflate.h"
#include "support/FitWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <zlib.h>

#include <functional>
#include <map>

namespace {

QDateTime Utc(const char* text)
{
    QDateTime time = QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
    time.setTimeZone(QTimeZone::utc());
    return time;
}

// "start offset sport/subSport metres timer elapsed": distance to the
// centimetre, times to the millisecond, as a FIT file holds them.
QStringList Describe(const DeviceFile& file)
{
    QStringList sessions;
    for (const DeviceSession& s : file.sessions)
        sessions << QStringLiteral("%1 %2 %3/%4 %5 %6 %7")
                        .arg(s.start.isValid() ? s.start.toUTC().toString(Qt::ISODate) : QStringLiteral("-"),
                             s.utcOffsetSeconds ? QString::number(*s.utcOffsetSeconds) : QStringLiteral("-"), s.sport,
                             s.subSport)
                        .arg(s.distanceMetres, 0, 'f', 2)
                        .arg(s.timerSeconds, 0, 'f', 3)
                        .arg(s.elapsedSeconds, 0, 'f', 3);
    return sessions;
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

QByteArray Sample(const char* name)
{
    QFile file(QStringLiteral(KV_GPS_DATA "/") + QString::fromLatin1(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    return file.readAll();
}

QByteArray Made(const std::function<void(FitWriter&)>& write, int headerSize = 14, bool headerCrc = true)
{
    FitWriter fit;
    write(fit);
    return fit.File(headerSize, headerCrc);
}

constexpr quint8 Cycling = 2, Running = 1, Walking = 11, Generic = 0, Road = 7, Gravel = 46, None = 0xFF;
const quint32 T0 = FitWriter::Time(Utc("2024-05-01T07:30:00"));

// A ride as a device writes it: file id, records, a lap, the session, the activity.
QByteArray Ride()
{
    return Made([](FitWriter& fit) {
        fit.FileId(T0);
        fit.Record(T0, 0);
        fit.Record(T0 + 10, 5000);
        fit.Lap(T0, Cycling, Road, 10000, 9000, 5000);
        fit.Session(T0, Cycling, Road, 10000, 9000, 5000);
        fit.Activity(T0 + 10, T0 + 10 + 7200);
    });
}

const QString RideSession = u"2024-05-01T07:30:00Z 7200 cycling/road 50.00 9.000 10.000"_qs;

} // namespace

class TestGpsFit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fit_data();
    void fit();
    void damage();
    void gzip_data();
    void gzip();
    void read_data();
    void read();
};

void TestGpsFit::fit_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("sessions");
    QTest::addColumn<QString>("fault");

    QTest::newRow("cycling, pauses") << Sample("2015-10-13-08-43-15.fit")
        << QStringList{u"2015-10-13T15:43:15Z - cycling/generic 11536.43 1558.198 1623.198"_qs} << QString();
    QTest::newRow("power meter") << Sample("Edge810-Vector-2013-08-16-15-35-10.fit")
        << QStringList{u"2013-08-16T18:05:10Z - cycling/generic 41339.38 4700.050 4700.050"_qs} << QString();
    QTest::newRow("no sub-sport") << Sample("sample-activity.fit")
        << QStringList{u"2011-06-26T21:18:39Z - cycling/ 88797.21 10699.360 11741.570"_qs} << QString();
    QTest::newRow("indoor trainer") << Sample("sample-activity-indoor-trainer.fit")
        << QStringList{u"2011-11-02T12:54:19Z - cycling/generic 0.00 2261.850 2261.850"_qs} << QString();
    QTest::newRow("virtual ride, absurd offset") << Sample("null_compressed_speed_dist.fit")
        << QStringList{u"2017-10-05T00:04:06Z -876098089 cycling/virtual_activity 13400.14 1808.000 1807.000"_qs}
        << QString();
    QTest::newRow("walk with offset") << Sample("garmin-fenix-5-walk.fit")
        << QStringList{u"2017-06-11T14:32:51Z -25200 walking/generic 67.85 45.379 45.379"_qs} << QString();
    QTest::newRow("developer fields") << Sample("developer-types-sample.fit")
        << QStringList{u"2017-01-17T17:06:47Z - running/generic 6753.99 3424.000 3424.000"_qs} << QString();
    QTest::newRow("compressed timestamps, device time") << Sample("compressed-speed-distance.fit")
        << QStringList{u"- - running/ 10248.67 3772.750 3883.273"_qs} << QString();
    QTest::newRow("multisport") << Sample("activity-large-fenxi2-multisport.fit")
        << QStringList{u"2015-08-29T08:00:01Z 7200 generic/ 25072.07 11738.240 11738.240"_qs,
                       u"2015-08-29T10:30:24Z 7200 transition/ 224.24 334.790 334.790"_qs,
                       u"2015-08-29T10:36:00Z 7200 running/ 2245.23 2294.840 2294.840"_qs,
                       u"2015-08-29T11:14:16Z 7200 transition/ 3.63 4.300 4.300"_qs,
                       u"2015-08-29T11:14:21Z 7200 running/ 12740.37 6764.480 6764.480"_qs,
                       u"2015-08-29T13:07:07Z 7200 transition/ 617.55 269.810 269.810"_qs,
                       u"2015-08-29T13:11:37Z 7200 cycling/ 28928.27 3211.000 3211.000"_qs}
        << QString();
    QTest::newRow("file CRC wrong") << Sample("activity-filecrc.fit") << QStringList{}
                                    << u"file danneggiato: CRC non valido"_qs;
    QTest::newRow("chained header wrong") << Sample("activity-settings-corruptheader.fit") << QStringList{}
                                          << u"file danneggiato: intestazione non valida"_qs;

    const QByteArray ride = Ride();
    QTest::newRow("header check left out")
        << Made([](FitWriter& fit) { fit.Session(T0, Cycling, Road, 10000, 9000, 5000); }, 14, false)
        << QStringList{u"2024-05-01T07:30:00Z - cycling/road 50.00 9.000 10.000"_qs} << QString();
    QByteArray badHeader = ride.chopped(2);
    badHeader[12] = char(badHeader[12] ^ 0x01);
    const quint16 crc = FitWriter::Crc(badHeader); // the file's check right again: only the header's is wrong
    QTest::newRow("header check wrong") << badHeader + char(crc & 0xFF) + char(crc >> 8) << QStringList{}
                                        << u"file danneggiato: intestazione non valida"_qs;
    QTest::newRow("text after the file") << ride + "\nend of file\n" << QStringList{RideSession} << QString();
    const QByteArray second = Made([](FitWriter& fit) {
        fit.Session(FitWriter::Time(Utc("2024-05-02T18:00:00")), Running, Generic, 600000, 590000, 180000);
    }, 12);
    QTest::newRow("two files chained, the second with a 12-byte header") << ride + second
        << QStringList{RideSession, u"2024-05-02T18:00:00Z - running/generic 1800.00 590.000 600.000"_qs} << QString();
    QByteArray misnamed = second;
    misnamed[9] = 'G';
    QTest::newRow("chained file's signature wrong") << ride + misnamed << QStringList{}
                                                    << u"file danneggiato: intestazione non valida"_qs;
    QTest::newRow("chained file cut") << ride + second.chopped(3) << QStringList{}
                                      << u"file danneggiato: file troncato"_qs;
    QTest::newRow("laps without a session") << Made([](FitWriter& fit) {
        fit.Sport(Walking, Generic);
        fit.Lap(T0, Cycling, Gravel, 1200000, 1100000, 1000000);
        fit.Lap(T0 + 1200, None, None, 600000, 500000, 250000);
        fit.Activity(T0 + 1800, T0 + 1800 + 3600);
    }) << QStringList{u"2024-05-01T07:30:00Z 3600 cycling/gravel_cycling 12500.00 1600.000 1800.000"_qs} << QString();
    QTest::newRow("laps without a sport: the sport message's") << Made([](FitWriter& fit) {
        fit.Sport(Cycling, 48);
        fit.Lap(T0, None, None, 60000, 60000, 40000);
    }) << QStringList{u"2024-05-01T07:30:00Z - cycling/commuting 400.00 60.000 60.000"_qs} << QString();
    // Every 5 s for a minute, a stop of 2 minutes, every 5 s for a minute more.
    QTest::newRow("records without laps") << Made([](FitWriter& fit) {
        fit.Sport(21, Generic);
        quint32 distance = 0;
        for (int s = 0; s <= 60; s += 5)
            fit.Record(T0 + s, distance += 2500);
        fit.Record(T0 + 70, 0xFFFFFFFF);
        for (int s = 190; s <= 250; s += 5)
            fit.Record(T0 + s, distance += 2500);
    }) << QStringList{u"2024-05-01T07:30:00Z - e_biking/generic 650.00 130.000 250.000"_qs} << QString();
    QTest::newRow("one record, no sport") << Made([](FitWriter& fit) { fit.Record(T0, 100); })
        << QStringList{u"2024-05-01T07:30:00Z - / 1.00 0.000 0.000"_qs} << QString();
    // Compressed headers across a rollover of the five low bits, and one
    // 61 s on, which five bits cannot tell from 29 s.
    QTest::newRow("compressed timestamps") << Made([](FitWriter& fit) {
        fit.Define(0, 20, {{253, FitWriter::UInt32}, {5, FitWriter::UInt32}});
        const quint32 base = T0 | 0x1C;
        fit.Data(0, {base, 1000});
        fit.Define(1, 20, {{5, FitWriter::UInt32}});
        fit.Compressed(1, base + 2, {2000});
        fit.Compressed(1, base + 6, {3000}); // past the rollover: 0x1C + 6 = 0x22
        fit.Compressed(1, base + 10, {4000});
        fit.Compressed(1, base + 71, {9000}); // read as base + 39
    }) << QStringList{u"2024-05-01T07:30:04Z - / 90.00 39.000 39.000"_qs} << QString();
    QTest::newRow("big-endian definition, developer fields") << Made([](FitWriter& fit) {
        fit.Define(7, 18, {{2, FitWriter::UInt32}, {9, FitWriter::UInt32}, {5, FitWriter::Enum}, {7, FitWriter::UInt32},
                           {8, FitWriter::UInt32}, {6, FitWriter::Enum}},
                   {3, 17}, true);
        fit.Data(7, {T0, 4242424, Cycling, 7200000, 7000000, 8});
    }) << QStringList{u"2024-05-01T07:30:00Z - cycling/mountain 42424.24 7000.000 7200.000"_qs} << QString();
    QTest::newRow("developer fields skipped, big-endian activity") << Made([](FitWriter& fit) {
        fit.Define(0, 18, {{2, FitWriter::UInt32}, {7, FitWriter::UInt32}}, {200, 1, 0});
        fit.Data(0, {T0, 3000});
        fit.Define(1, 34, {{253, FitWriter::UInt32}, {5, FitWriter::UInt32}}, {4}, true);
        fit.Data(1, {T0 + 3, T0 + 3 - 1800});
    }) << QStringList{u"2024-05-01T07:30:00Z -1800 / 0.00 0.000 3.000"_qs} << QString();
    QTest::newRow("invalid values are absent")
        << Made([](FitWriter& fit) { fit.Session(0xFFFFFFFF, None, None, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF); })
        << QStringList{u"- - / 0.00 0.000 0.000"_qs} << QString();
    QTest::newRow("session without a start: its end less its length") << Made([](FitWriter& fit) {
        fit.Define(0, 18, {{253, FitWriter::UInt32}, {7, FitWriter::UInt32}, {8, FitWriter::UInt32}});
        fit.Data(0, {T0 + 100, 100500, 90000});
    }) << QStringList{u"2024-05-01T07:30:00Z - / 0.00 90.000 100.500"_qs} << QString();
    QTest::newRow("sports by number") << Made([](FitWriter& fit) {
        fit.Session(T0, 200, 250, 1000, 1000, 0);
        fit.Session(T0 + 10, 17, 58, 1000, 1000, 0);
    }) << QStringList{u"2024-05-01T07:30:00Z - sport_200/sub_sport_250 0.00 1.000 1.000"_qs,
                      u"2024-05-01T07:30:10Z - hiking/virtual_activity 0.00 1.000 1.000"_qs}
       << QString();
    QTest::newRow("no activity") << Made([](FitWriter& fit) { fit.FileId(T0); }) << QStringList{} << QString();
    const auto raw = [](const char* hex, bool fileId = true) {
        return Made([=](FitWriter& fit) {
            if (fileId)
                fit.FileId(T0);
            fit.Raw(QByteArray::fromHex(hex));
        });
    };
    QTest::newRow("data without a definition") << raw("03") << QStringList{}
                                               << u"file danneggiato: messaggio non valido al byte 49"_qs;
    QTest::newRow("definition past the data") << raw("40000000120302") << QStringList{}
                                              << u"file danneggiato: messaggio non valido al byte 49"_qs;
    QTest::newRow("byte order unknown") << raw("4000020012000000", false) << QStringList{}
                                        << u"file danneggiato: messaggio non valido al byte 14"_qs;
    QTest::newRow("empty") << QByteArray() << QStringList{} << u"file danneggiato: file vuoto"_qs;
    QTest::newRow("not a FIT file") << QByteArray("<?xml version=\"1.0\"?><gpx/>") << QStringList{}
                                    << u"file danneggiato: intestazione non valida"_qs;
}

void TestGpsFit::fit()
{
    QFETCH(QByteArray, bytes);
    const DeviceFile read = DeviceFiles::ReadFit(bytes);
    QTEST(read.fault, "fault");
    QTEST(Describe(read), "sessions");
}

// Cut anywhere or with any byte changed, a file is never half read.
void TestGpsFit::damage()
{
    const QByteArray ride = Ride();
    QVERIFY(DeviceFiles::ReadFit(ride).fault.isEmpty());
    const auto damaged = [](const QByteArray& bytes, const QString& where) {
        const DeviceFile read = DeviceFiles::ReadFit(bytes);
        QVERIFY2(read.fault.startsWith(u"file danneggiato: ") && read.sessions.empty(), qPrintable(where));
    };
    for (qsizetype at = 0; at < ride.size(); ++at) {
        damaged(ride.first(at), QStringLiteral("cut at %1").arg(at));
        for (const quint8 flip : {0x01, 0x80, 0xFF}) {
            QByteArray changed = ride;
            changed[at] = char(changed[at] ^ flip);
            damaged(changed, QStringLiteral("byte %1 ^ %2").arg(at).arg(flip));
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
    const QByteArray large = ride.repeated(20000);
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
    QTest::newRow("second member cut") << one + one.first(20) << qint64(1 << 20) << QByteArray()
                                       << u"file danneggiato: archivio gzip troncato"_qs;
    QByteArray wrongCheck = one;
    wrongCheck[wrongCheck.size() - 6] = char(wrongCheck[wrongCheck.size() - 6] ^ 0x10);
    QTest::newRow("content's check wrong") << wrongCheck << qint64(1 << 20) << QByteArray()
                                           << u"file danneggiato: archivio gzip non valido"_qs;
}

void TestGpsFit::gzip()
{
    QFETCH(QByteArray, compressed);
    QFETCH(qint64, limit);
    QFETCH(QByteArray, content);
    const GzipInflate::Result result = GzipInflate::Inflate(compressed, limit);
    QTEST(result.fault, "fault");
    QVERIFY(result.bytes == content);
}

// By name, case aside, else by content; compressed or not. Each file reads as
// its content does through the reader its format names; else the reason.
void TestGpsFit::read_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("compressed");
    QTest::addColumn<QString>("reader");

    const QByteArray ride = Ride();
    const QByteArray gpx = Sample("track-with-empty-segment.gpx");
    const QByteArray tcx = Sample("sup_activity_1.tcx");
    QTest::newRow("capitals: the name wins over the content") << u"RIDE.GPX"_qs << ride << false << u"gpx"_qs;
    QTest::newRow("TCX by name") << u"track.Tcx"_qs << gpx << false << u"tcx"_qs;
    QTest::newRow("FIT by name") << u"run.fit"_qs << tcx << false << u"fit"_qs;
    QTest::newRow("FIT, gzip") << u"ride.fit.gz"_qs << ride << true << u"fit"_qs;
    QTest::newRow("FIT, gzip, no format named") << u"ride.gz"_qs << ride << true << u"fit"_qs;
    QTest::newRow("FIT, no extension") << u"ride"_qs << ride << false << u"fit"_qs;
    QTest::newRow("FIT, compressed under another name") << u"ride.bin"_qs << ride << true << u"fit"_qs;
    QTest::newRow("GPX by content, byte-order mark") << u"waypoints.xml"_qs << Sample("unicode_with_bom.gpx") << false
                                                     << u"gpx"_qs;
    QTest::newRow("GPX by content, comment first") << u"track"_qs << "<!-- exported -->\n" + gpx.mid(gpx.indexOf("<gpx"))
                                                   << false << u"gpx"_qs;
    QTest::newRow("TCX by content") << u"run.xml"_qs << tcx << false << u"tcx"_qs;
    QTest::newRow("not gzip") << u"ride.fit.gz"_qs << ride << false << u"file danneggiato: archivio gzip non valido"_qs;
    QTest::newRow("other format") << u"notes.txt"_qs << QByteArray("<html><body>ride</body></html>") << false
                                  << u"file danneggiato: formato non riconosciuto"_qs;
    QTest::newRow("gpx element's name only begun") << u"notes"_qs << QByteArray("<gpxdata/>") << false
                                                   << u"file danneggiato: formato non riconosciuto"_qs;
    QTest::newRow("missing") << u"gone.fit"_qs << QByteArray() << false << u"impossibile leggere il file: "_qs;
    QTest::newRow("a folder") << u"folder.fit"_qs << QByteArray() << false << u"impossibile leggere il file: "_qs;
}

void TestGpsFit::read()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, compressed);
    QFETCH(QString, reader);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(u"folder.fit"_qs));
    const QString path = dir.filePath(name);
    if (!content.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray bytes = compressed ? Gzip(content) : content;
        QCOMPARE(file.write(bytes), bytes.size());
    }

    const std::map<QString, DeviceFile (*)(QByteArrayView)> readers = {
        {u"fit"_qs, DeviceFiles::ReadFit}, {u"gpx"_qs, DeviceFiles::ReadGpx}, {u"tcx"_qs, DeviceFiles::ReadTcx}};
    const DeviceFile expected = readers.contains(reader) ? readers.at(reader)(content) : DeviceFile{{}, {}, reader};

    const DeviceFile read = DeviceFiles::Read(path);
    QCOMPARE(read.path, path);
    if (reader.endsWith(u": ")) // the system's reason follows
        QVERIFY2(read.fault.startsWith(reader) && read.fault.size() > reader.size(), qPrintable(read.fault));
    else
        QCOMPARE(read.fault, expected.fault);
    QCOMPARE(Describe(read), Describe(expected));
}

QTEST_GUILESS_MAIN(TestGpsFit)
#include "test_gps_fit.moc"
