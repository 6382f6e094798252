#include "app/Unitmain.h"
#include "data/Rides.h"
#include "data/TZTConnection.h"
#include "data/Transaction.h"
#include "support/Controls.h"
#include "support/Failure.h"
#include "support/Files.h"
#include "support/ItalianLocale.h"
#include "support/KilledChild.h"
#include "support/MainWindow.h"
#include "support/ModalBoxes.h"
#include "support/ProgramLog.h"
#include "support/ReadOnlyFolder.h"
#include "support/TestDatabase.h"
#include "tools/CsvExport.h"
#include "tools/CsvImport.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

namespace {

const QString ChildSwitch = QStringLiteral("--csv-child");
const QByteArray Header = "Data,Tipo,KM,Durata,Descrizione\r\n";

CsvImport::Log LogOf(TZTConnection& connection)
{
    return {Rides::Types(connection), QDate(1990, 1, 1), MainWindow::Today};
}

// "2005-03-01|0|45.5|01:05:30|text", "-" for no duration; ";" between rides.
QString Described(const QList<Rides::Ride>& rides)
{
    QStringList texts;
    for (const Rides::Ride& ride : rides) {
        const qint64 seconds = qRound64(ride.entry.tempo.Val() * 86400);
        texts.append(QStringLiteral("%1|%2|%3|%4|%5")
                         .arg(QDate(ride.anno, ride.mese, ride.entry.giorno).toString(Qt::ISODate))
                         .arg(ride.entry.tipo)
                         .arg(ride.entry.chilometri)
                         .arg(seconds ? QTime(0, 0).addSecs(int(seconds)).toString(u"hh:mm:ss") : u"-"_qs,
                              ride.entry.testoDescrizione));
    }
    return texts.join(u';');
}

// A reading as the date table writes it: the rides' days, the refusal, or
// "?", the date the rider is asked about and its two readings.
QString Outcome(const CsvImport::ReadResult& read)
{
    if ((read.fault || !read.ambiguousDate.isEmpty()) && !read.rides.isEmpty())
        return u"rides beside a refusal or a question"_qs;
    if (read.fault)
        return read.fault->Message();
    if (!read.ambiguousDate.isEmpty())
        return u"? %1 %2 %3"_qs.arg(read.ambiguousDate, read.ambiguousDayFirst.toString(Qt::ISODate),
                                     read.ambiguousMonthFirst.toString(Qt::ISODate));
    QStringList days;
    for (const Rides::Ride& ride : read.rides)
        days.append(QDate(ride.anno, ride.mese, ride.entry.giorno).toString(Qt::ISODate));
    return days.join(u' ');
}

// Types `path` into the file dialog's name field, as a user would, and accepts it.
void TypeFileName(QFileDialog* chooser, const QString& path)
{
    auto* name = chooser->findChild<QLineEdit*>(u"fileNameEdit"_qs);
    if (!name)
        qFatal("the file dialog has no name field");
    name->setText(path);
    static_cast<QDialog*>(chooser)->accept(); // QFileDialog's own, which takes the name typed
}

// Answers the file dialog with `path`, or cancels it for an empty one.
void ChooseFile(ModalBoxes& boxes, const QString& title, const QString& path)
{
    boxes.setDialogHandler([=](QDialog* dialog) {
        auto* chooser = qobject_cast<QFileDialog*>(dialog);
        if (!chooser)
            return; // the progress dialog: watched by ProgressWatcher
        QCOMPARE(chooser->windowTitle(), title);
        QCOMPARE(chooser->nameFilters(), (QStringList{u"File CSV (*.csv)"_qs, u"Tutti i file (*)"_qs}));
        if (path.isEmpty())
            return dialog->reject();
        TypeFileName(chooser, path); // QFileDialog's own, which takes the file chosen
    });
}

// Sees every progress dialog shown, and clicks its "Annulla" half way
// through the step whose label is `cancelAt`.
class ProgressWatcher : public QObject
{
public:
    explicit ProgressWatcher(QString cancelAt) : m_cancelAt(std::move(cancelAt)) { qApp->installEventFilter(this); }
    QStringList labels;
    QStringList buttons;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* dialog = qobject_cast<QProgressDialog*>(watched);
        if (!dialog || event->type() != QEvent::Show)
            return false;
        labels.append(dialog->labelText());
        auto* bar = dialog->findChild<QProgressBar*>();
        auto* cancel = dialog->findChild<QPushButton*>();
        if (!bar || !cancel)
            qFatal("a progress dialog without its bar or button");
        buttons.append(cancel->text());
        if (dialog->labelText() != m_cancelAt)
            return false;
        connect(bar, &QProgressBar::valueChanged, cancel, [bar, cancel](int value) {
            if (value >= bar->maximum() / 2)
                QMetaObject::invokeMethod(cancel, &QPushButton::click, Qt::QueuedConnection);
        });
        return false;
    }

private:
    QString m_cancelAt;
};

}

class TestCsv : public QObject, ProgramLog
{
    Q_OBJECT

private:
    QString Stored(const QString& sql) const { return TestDatabase::Scalar(m_path, sql); }
    CsvImport::ReadResult Parse(const QByteArray& bytes) { return CsvImport::Parse(bytes, LogOf(Connection())); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(MakeHome());
    }

    void init() { QCOMPARE(RenewProgramFolder(), QString()); }

    void readsWhatSpreadsheetsWrite_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("rides");
        QTest::newRow("the export's own form")
            << Header + "2005-03-01,Strada,45.5,01:05:30,Giro del lago\r\n" << u"2005-03-01|0|45.5|01:05:30|Giro del lago"_qs;
        QTest::newRow("any column order and case, unknown ones ignored, LF")
            << QByteArray("descrizione,km,Note,DATA\n\"Lago, poi casa\",12,x,2005-02-28\n")
            << u"2005-02-28|0|12|-|Lago, poi casa"_qs;
        QTest::newRow("semicolons: comma or point decimals, d/m/yyyy, h:mm, type in any case")
            << QByteArray("Data;KM;Durata;Tipo\r\n1/3/2005;45,5;1:30;mtb\r\n15/03/2005;7.25;;CITTÀ\r\n")
            << u"2005-03-01|1|45.5|01:30:00|;2005-03-15|3|7.25|-|"_qs;
        QTest::newRow("type by key, the first type for none")
            << QByteArray("Data,Tipo,KM\n2005-03-01,5,10\n2005-03-02,,11\n") << u"2005-03-01|5|10|-|;2005-03-02|0|11|-|"_qs;
        QTest::newRow("UTF-8 with a byte-order mark")
            << QByteArray("\xEF\xBB\xBF" "Data,KM,Descrizione\r\n2005-03-01,10,Caffè €\r\n") << u"2005-03-01|0|10|-|Caffè €"_qs;
        QTest::newRow("Windows-1252")
            << QByteArray("Data;KM;Descrizione\r\n15/03/2005;10;Caff\xe8 \x80 \x93ok\x94\r\n")
            << u"2005-03-15|0|10|-|Caffè € “ok”"_qs;
        QTest::newRow("quoted fields keep quotes, separators and blanks")
            << QByteArray("Data,KM,Descrizione\r\n\"2005-03-01\",\" 10 \",\" \"\"Il\"\" lago, \"\r\n")
            << u"2005-03-01|0|10|-| \"Il\" lago, "_qs;
        QTest::newRow("CR line ends, blank and empty rows, no final line end")
            << QByteArray("Data,KM\r\r2005-03-01,1\r,\r2005-03-02,2") << u"2005-03-01|0|1|-|;2005-03-02|0|2|-|"_qs;
        QTest::newRow("bounds") << QByteArray("Data,KM,Durata\n1990-01-01,0,0:00:01\n2005-03-15,999,23:59:59\n"
                                              "2005-03-15,.5,0:00:00\n")
                                << u"1990-01-01|0|0|00:00:01|;2005-03-15|0|999|23:59:59|;2005-03-15|0|0.5|-|"_qs;
        QTest::newRow("durations as an English spreadsheet writes them")
            << QByteArray("Data,KM,Durata\n2005-03-01,1,12:05:00 AM\n2005-03-02,1,02:11:59 am\n2005-03-03,1,1:30 PM\n")
            << u"2005-03-01|0|1|00:05:00|;2005-03-02|0|1|02:11:59|;2005-03-03|0|1|13:30:00|"_qs;
        QTest::newRow("tabs, decimal comma")
            << QByteArray("Data\tKM\tDescrizione\r\n2005-03-01\t10,5\tLago, poi casa; \"bar\"\r\n")
            << u"2005-03-01|0|10.5|-|Lago, poi casa; \"bar\""_qs;
        QTest::newRow("commas, a quoted decimal comma")
            << Header + "15/03/2005,Strada,\"45,5\",01:05:30,Lago\r\n" << u"2005-03-15|0|45.5|01:05:30|Lago"_qs;
        QTest::newRow("semicolons, everything that holds a separator quoted")
            << QByteArray("\xEF\xBB\xBF" "Data;Tipo;KM;Durata;Descrizione\r\n"
                          "15/03/2005;Strada;\"45,5\";01:05:30;\"Lago; poi\tcasa, \"\"bar\"\"\"\r\n")
            << u"2005-03-15|0|45.5|01:05:30|Lago; poi\tcasa, \"bar\""_qs;
        const QString text = u"Data\tKM\tDescrizione\r\n2005-03-01\t10,5\tCaffè € 𝄞\r\n"_qs;
        const QString read = u"2005-03-01|0|10.5|-|Caffè € 𝄞"_qs;
        for (const auto encoding : {QStringConverter::Utf16LE, QStringConverter::Utf16BE})
            QTest::newRow(QStringConverter::nameForEncoding(encoding))
                << QByteArray(QStringEncoder(encoding, QStringConverter::Flag::WriteBom)(text)) << read;
        QTest::newRow("an exported log and a Windows-1252 line")
            << Header + "2005-03-01,Città,10,,Giro in città\r\n2005-03-02,Citt\xe0,5,,Caff\xe8 al bar\r\n"
            << u"2005-03-01|3|10|-|Giro in città;2005-03-02|3|5|-|Caffè al bar"_qs;
        QTest::newRow("a byte-order mark, Windows-1252, then UTF-8, CR alone")
            << QByteArray("\xEF\xBB\xBF" "Data;KM;Descrizione\r01/03/2005;1;\x93s\xec\x94\r13/03/2005;2;Caffè")
            << u"2005-03-01|0|1|-|“sì”;2005-03-13|0|2|-|Caffè"_qs;
        QByteArray many = Header;
        QStringList rides;
        for (int i = 0; i < 5000; ++i) {
            const bool windows = i == 3000; // far beyond the first 64 KB
            many += "2005-03-01,,1,,citt" + QByteArray(windows ? "\xe0" : "à") + QByteArray::number(i) + "\r\n";
            rides.append(u"2005-03-01|0|1|-|città%1"_qs.arg(i));
        }
        QTest::newRow("a Windows-1252 line among many") << many << rides.join(u';');
        QTest::newRow("header only") << QByteArray("Data,KM\r\n") << QString();
    }

    void readsWhatSpreadsheetsWrite()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, rides);
        const CsvImport::ReadResult read = Parse(file);
        QVERIFY2(!read.fault, qPrintable(read.fault ? read.fault->Message() : QString()));
        QCOMPARE(Described(read.rides), rides);
    }

    void refusesTheFirstBadRow_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("message");
        const auto row = [](const char* tag, const QByteArray& rows, const char* message) {
            QTest::newRow(tag) << "Data,KM,Descrizione,Tipo,Durata,Note\r\n2005-03-01,1\r\n" + rows
                               << QString::fromUtf8(message);
        };
        QTest::newRow("empty file") << QByteArray() << u"Il file è vuoto"_qs;
        QTest::newRow("no KM") << QByteArray("Data,Tipo\n") << u"Riga 1: manca la colonna \"KM\""_qs;
        QTest::newRow("no Data, semicolons") << QByteArray("Giorno;KM\n") << u"Riga 1: manca la colonna \"Data\""_qs;
        QTest::newRow("a column twice") << QByteArray("Data,KM, data\n")
                                        << u"Riga 1, colonna 3: la colonna \"data\" compare due volte"_qs;
        row("31 April", "31/04/2004,2", "Riga 3, colonna 1: la data non esiste: \"31/04/2004\"");
        row("29 February 2003", "2003-02-29,2", "Riga 3, colonna 1: la data non esiste: \"2003-02-29\"");
        row("before 1990", "1989-12-31,2", "Riga 3, colonna 1: la data è anteriore al 1/1/1990: \"1989-12-31\"");
        row("after today", "2005-03-16,2", "Riga 3, colonna 1: la data è successiva a oggi (15/3/2005): \"2005-03-16\"");
        row("another date form", "01-03-2005,2", "Riga 3, colonna 1: data non valida (aaaa-mm-gg o g/m/aaaa): \"01-03-2005\"");
        row("no date", " ,2", "Riga 3, colonna 1: manca la data");
        row("no distance", "2005-03-02,", "Riga 3, colonna 2: manca la distanza");
        row("over 999 km", "2005-03-02,999.01", "Riga 3, colonna 2: distanza fuori dall'intervallo 0-999: \"999.01\"");
        row("negative", "2005-03-02,-1", "Riga 3, colonna 2: distanza fuori dall'intervallo 0-999: \"-1\"");
        row("a long value", "2005-03-02," + QByteArray(60, '7') + 'x',
            "Riga 3, colonna 2: distanza non valida: \"7777777777777777777777777777777777777777…\" (61 caratteri)");
        row("unknown type", "2005-03-02,1,,Tandem", "Riga 3, colonna 4: tipo di uscita sconosciuto: \"Tandem\"");
        row("type key 6 of six types", "2005-03-02,1,,6", "Riga 3, colonna 4: tipo di uscita sconosciuto: \"6\"");
        row("24 hours", "2005-03-02,1,,,24:00:00", "Riga 3, colonna 5: durata di 24 ore o più: \"24:00:00\"");
        row("60 minutes", "2005-03-02,1,,,1:60", "Riga 3, colonna 5: durata non valida (hh:mm:ss o h:mm): \"1:60\"");
        row("13 PM", "2005-03-02,1,,,13:00 PM", "Riga 3, colonna 5: durata non valida (hh:mm:ss o h:mm): \"13:00 PM\"");
        row("256 characters", "2005-03-02,1," + QByteArray(256, 'x'),
            "Riga 3, colonna 3: la descrizione supera i 255 caratteri: \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx…\" "
            "(256 caratteri)");
        row("a line break", "2005-03-02,1,\"Giro\r\nlago\"", "Riga 3, colonna 3: la descrizione va a capo: \"Giro↵lago\"");
        row("lines counted across a quoted line break", "2005-03-02,1,,,,\"a\nb\"\n2005-03-40,2",
            "Riga 5, colonna 1: la data non esiste: \"2005-03-40\"");
        row("a quote never closed", "2005-03-02,1,\"Giro\n2005-03-03,2\n",
            "Riga 3, colonna 3: le virgolette aperte non si chiudono");
        row("text after a closing quote", "2005-03-02,1,\"Giro\" lago", "Riga 3, colonna 3: testo dopo le virgolette di chiusura");
        row("more fields than the header", "2005-03-02,1,,,,,x",
            "Riga 3, colonna 7: la riga ha più campi dell'intestazione (6): \"x\"");
        const QString extra = u"Riga 2, colonna 6: la riga ha più campi dell'intestazione (5): "_qs;
        QTest::newRow("a separator at the end") << Header + "2005-03-01,Strada,10,,Lago,\r\n"
                                                << extra + u"separatori in più alla fine"_qs;
        QTest::newRow("a tab unquoted among tabs")
            << QByteArray("Data\tTipo\tKM\tDurata\tDescrizione\r\n2005-03-01\t\t1\t\tLago\tpoi\r\n") << extra + u"\"poi\""_qs;
        QTest::newRow("thousands and decimals") << QByteArray("Data;KM\r\n01/03/2005;1.234,5\r\n")
                                                << u"Riga 2, colonna 2: distanza non valida: \"1.234,5\""_qs;
        QTest::newRow("no KM, tabs") << QByteArray("Data\tChilometri\r\n") << u"Riga 1: manca la colonna \"KM\""_qs;
    }

    void refusesTheFirstBadRow()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, message);
        const CsvImport::ReadResult read = Parse(file);
        QVERIFY(read.fault);
        QCOMPARE(read.fault->Message(), message);
        QVERIFY(read.rides.isEmpty());
    }


    void readsDates_data()
    {
        QTest::addColumn<QByteArray>("rows"); // after "Data;KM", one kilometre each
        QTest::addColumn<CsvImport::DayOrder>("order");
        QTest::addColumn<QString>("outcome");
        const auto fromFile = [](const char* tag, const QByteArray& dates, const char* outcome) {
            QTest::newRow(tag) << dates << CsvImport::DayOrder::FromFile << QString::fromUtf8(outcome);
        };
        fromFile("with a time", "1990-01-01 00:00:00\n1990-01-02T08:30\n01/01/1990 00:00:00\n13/1/1990 7:05",
                 "1990-01-01 1990-01-02 1990-01-01 1990-01-13");
        fromFile("dotted, two-digit years", "13.01.1990\n1.2.90\n15/03/05", "1990-01-13 1990-02-01 2005-03-15");
        fromFile("a two-digit year outside 1990-2005", "13/01/06",
                 "Riga 2, colonna 1: l'anno di due cifre non cade tra il 1990 e il 2005: \"13/01/06\"");
        fromFile("a time that is none", "1990-01-01 24:00", "Riga 2, colonna 1: data non valida (aaaa-mm-gg o g/m/aaaa): "
                                                         "\"1990-01-01 24:00\"");
        fromFile("day first, told by a later date", "01/02/1990\n13/01/1990", "1990-02-01 1990-01-13");
        fromFile("month first, told by a later date", "01/02/1990\n01/13/1990", "1990-01-02 1990-01-13");
        fromFile("day and month alike", "05/05/1990\n1990-01-02", "1990-05-05 1990-01-02");
        fromFile("untold", "05/05/1990\n01/02/1990 08:00\n02/01/1990", "? 01/02/1990 1990-02-01 1990-01-02");
        fromFile("untold, one reading after today", "03/04/2005", "? 03/04/2005 2005-04-03 2005-03-04");
        fromFile("both readings after today", "04/05/2005",
                 "Riga 2, colonna 1: la data è successiva a oggi (15/3/2005): \"04/05/2005\"");
        fromFile("untold, a bad row after", "01/02/1990\n02/01/1990;x", "Riga 3, colonna 2: distanza non valida: \"x\"");
        fromFile("a bad row before the telling date", "01/02/1990;x\n01/13/1990", "Riga 2, colonna 2: distanza non valida: \"x\"");
        fromFile("contradictory", "13/01/1990\n01/02/1990\n01/13/1990",
                 "Riga 4, colonna 1: giorno e mese in ordine opposto a \"13/01/1990\" della riga 2: \"01/13/1990\"");
        QTest::newRow("the rider's day first") << QByteArray("01/02/1990\n05/05/1990") << CsvImport::DayOrder::DayFirst
                                               << u"1990-02-01 1990-05-05"_qs;
        QTest::newRow("the rider's month first") << QByteArray("01/02/1990\n1.3.90") << CsvImport::DayOrder::MonthFirst
                                                 << u"1990-01-02 1990-01-03"_qs;
    }

    void readsDates()
    {
        QFETCH(QByteArray, rows);
        QFETCH(CsvImport::DayOrder, order);
        QFETCH(QString, outcome);
        QByteArray file = "Data;KM\n";
        for (const QByteArray& row : rows.split('\n'))
            file += row + (row.contains(';') ? "\n" : ";1\n");
        CsvImport::Log log = LogOf(Connection());
        log.order = order;
        QCOMPARE(Outcome(CsvImport::Parse(file, log)), outcome);
    }


    void countsRidesAlreadyInTheLog_data()
    {
        QTest::addColumn<QStringList>("log"); // date|km|type|description|duration, "null" for NULL
        QTest::addColumn<QByteArray>("rows");
        QTest::addColumn<int>("fresh");
        QTest::addColumn<int>("present");
        const QString lake = u"2005-03-01|45.5|0|Lago|01:05:30"_qs;
        const QByteArray same = "2005-03-01,Strada,45.5,1:05:30,Lago\n";
        QTest::newRow("the same ride") << QStringList{lake} << same << 0 << 1;
        QTest::newRow("another day") << QStringList{lake} << QByteArray("2005-03-02,Strada,45.5,1:05:30,Lago\n") << 1 << 0;
        QTest::newRow("another type") << QStringList{lake} << QByteArray("2005-03-01,MTB,45.5,1:05:30,Lago\n") << 1 << 0;
        QTest::newRow("another distance") << QStringList{lake} << QByteArray("2005-03-01,Strada,45.51,1:05:30,Lago\n") << 1 << 0;
        QTest::newRow("another duration") << QStringList{lake} << QByteArray("2005-03-01,Strada,45.5,1:05,Lago\n") << 1 << 0;
        QTest::newRow("another description") << QStringList{lake} << QByteArray("2005-03-01,Strada,45.5,1:05:30,lago\n") << 1 << 0;
        QTest::newRow("NULL and empty are the same")
            << QStringList{u"2005-03-01|10|2|null|null"_qs, u"2005-03-01|10|2||00:00:00"_qs}
            << QByteArray("2005-03-01,Gravel,10,,\n2005-03-01,Gravel,10,0:00,\n") << 0 << 2;
        QTest::newRow("to the second") << QStringList{u"2005-03-01|45.5|0|Lago|01:05:30.400"_qs} << same << 0 << 1;
        QTest::newRow("twice in the file, once in the log") << QStringList{lake} << same + same << 1 << 1;
        QTest::newRow("twice in the log, once in the file") << QStringList{lake, lake} << same << 0 << 1;
    }

    void countsRidesAlreadyInTheLog()
    {
        QFETCH(QStringList, log);
        QFETCH(QByteArray, rows);
        QFETCH(int, fresh);
        QFETCH(int, present);
        for (const QString& ride : log) {
            const QStringList f = ride.split(u'|');
            const auto value = [](const QString& text) { return text == u"null" ? QString() : text; };
            QCOMPARE(TestDatabase::InsertRide(m_path, f[0], f[1].toDouble(), f[2].toInt(), value(f[3]), value(f[4])),
                     QString());
        }
        const CsvImport::ReadResult read = Parse(Header + rows);
        QVERIFY(!read.fault);
        const CsvImport::Sorted sorted = CsvImport::SortOut(Connection(), read.rides);
        QCOMPARE(sorted.fresh.size(), fresh);
        QCOMPARE(sorted.present, present);
    }

    void roundTripGivesTheSameRides_data()
    {
        QTest::addColumn<CsvExport::CsvFormat>("format");
        QTest::newRow("Italian") << CsvExport::CsvFormat::Italian;
        QTest::newRow("standard") << CsvExport::CsvFormat::Standard;
    }

    void roundTripGivesTheSameRides()
    {
        QFETCH(CsvExport::CsvFormat, format);
        // Thousands of rides, many a day, some alike, with what CSV must quote.
        const QStringList words = {u"Giro"_qs, u"città"_qs, u"\"Il\" passo"_qs, u"lago, poi casa"_qs, u" spazio"_qs,
                                   u"fine "_qs, u"caffè €"_qs, u"tappa 1; tappa\t2"_qs, QString()};
        {
            Transaction transaction(Connection());
            Rides::Appender appender(Connection());
            for (int i = 0; i < 4000; ++i) {
                const QDate day = QDate(1990, 1, 1).addDays(i * 5479 / 4000);
                const int seconds = i % 3 ? (i * 7919) % 86400 : 0;
                appender.AppendRide({day.year(), day.month(),
                              {day.day(), i % 6, (i * 37 % 99901) / 100.0, TDateTime(seconds / 86400.0),
                               words[i % words.size()] + words[i / 8 % words.size()]}});
            }
            transaction.Commit();
        }
        const QString csv = File(u"export.csv"_qs);
        QCOMPARE(CsvExport::ExportLog(Connection(), csv, format), 4000);
        const CsvImport::ReadResult read = CsvImport::ReadFile(csv, LogOf(Connection()));
        QVERIFY2(!read.fault, qPrintable(read.fault ? read.fault->Message() : QString()));

        const QString other = File(u"other.mdb"_qs);
        QFile::remove(other);
        QCOMPARE(TestDatabase::Create(other), QString());
        TZTConnection empty;
        empty.Open(TestDatabase::ConnectionStringFor(other));
        QCOMPARE(CsvImport::SortOut(empty, read.rides).fresh.size(), 4000);
        QCOMPARE(CsvImport::Store(empty, read.rides).stored, 4000);
        QCOMPARE(AllRides(empty), AllRides(Connection()));
        const CsvImport::Sorted again = CsvImport::SortOut(Connection(), read.rides);
        QCOMPARE(again.present, 4000);
        QVERIFY(again.fresh.isEmpty());
    }

    void failedExportLeavesNothingBehind()
    {
        QCOMPARE(TestDatabase::InsertRide(m_path, u"2005-03-01"_qs, 10), QString());
        const QString folder = File(u"sola-lettura"_qs);
        QVERIFY(QDir(folder).removeRecursively() && QDir().mkpath(folder));
        QVERIFY(WriteFile(QDir(folder).filePath(u"vecchio.csv"_qs), "vecchio"));
        const std::optional<Failure> intoDatabase =
            FailureOf([&] { CsvExport::ExportLog(Connection(), m_path, CsvExport::CsvFormat::Italian); });
        QVERIFY(intoDatabase && intoDatabase->message.endsWith(u"è il database del diario"_qs));
        QCOMPARE(Stored(u"SELECT count(*) FROM Uscite"_qs), u"1"_qs);
        {
            const ReadOnlyFolder readOnly(folder);
            if (!readOnly.done())
                QSKIP("this file system cannot make a folder read-only");
            for (const QString& name : {u"nuovo.csv"_qs, u"vecchio.csv"_qs}) {
                const QString path = QDir(folder).filePath(name);
                const std::optional<Failure> failure =
                    FailureOf([&] { CsvExport::ExportLog(Connection(), path, CsvExport::CsvFormat::Italian); });
                QVERIFY(failure && failure->why == Exception::Why::Failed);
                QVERIFY2(failure->message.startsWith(u"impossibile scrivere il file \""_qs + path
                                                     + u"\": permesso negato ("_qs),
                         qPrintable(failure->message));
            }
        }
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{u"vecchio.csv"_qs});
        QCOMPARE(Bytes(QDir(folder).filePath(u"vecchio.csv"_qs)), QByteArray("vecchio"));
    }

    void importFailuresThrowAndStoreNothing_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message"); // what the failure's message begins with
        QTest::addColumn<int>("why");
        const int failed = int(Exception::Why::Failed);
        QTest::newRow("file missing") << u"missing"_qs << u"impossibile leggere il file: "_qs << failed;
        QTest::newRow("file a folder") << u"folder"_qs << u"impossibile leggere il file: "_qs << failed;
        QTest::newRow("database read-only") << u"read-only"_qs << u"database in sola lettura. ZTADO exception: "_qs
                                            << failed;
        QTest::newRow("database held by another writer")
            << u"busy"_qs << u"database in uso da un altro programma. ZTADO exception: "_qs
            << int(Exception::Why::Busy);
    }

    void importFailuresThrowAndStoreNothing()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        QFETCH(int, why);
        const QString rides = Stored(TestDatabase::RideFigures);
        const QString csv = File(u"uscite.csv"_qs);
        QVERIFY(WriteFile(csv, "Data,KM\r\n2005-03-02,20\r\n2005-03-03,30\r\n"));
        const QString path = fault == u"missing" ? File(u"nessuno.csv"_qs) : fault == u"folder" ? File(QString()) : csv;
        TZTConnection connection;
        connection.Open(TestDatabase::ConnectionStringFor(m_path), fault == u"read-only"
                                                                      ? TZTConnection::Access::ReadOnly
                                                                      : TZTConnection::Access::ReadWrite);
        connection.SetBusyTimeout(100);
        TZTConnection writer;
        std::optional<Transaction> held;
        if (fault == u"busy") {
            writer.Open(TestDatabase::ConnectionStringFor(m_path));
            held.emplace(writer);
        }
        const std::optional<Failure> failure = FailureOf([&] {
            const CsvImport::ReadResult read = CsvImport::ReadFile(path, LogOf(connection));
            QCOMPARE(read.rides.size(), 2);
            CsvImport::Store(connection, read.rides);
        });
        held.reset();
        QVERIFY(failure);
        QVERIFY2(failure->message.startsWith(message), qPrintable(failure->message));
        QCOMPARE(int(failure->why), why);
        QCOMPARE(Stored(TestDatabase::RideFigures), rides);
    }

    void killedImportStoresAllOrNothing()
    {
        QByteArray text = Header;
        for (int i = 0; i < 40000; ++i)
            text += QDate(1990, 1, 1).addDays(i % 5000).toString(Qt::ISODate).toLatin1() + ",Gara,"
                    + QByteArray::number(i % 999) + ".5,01:00:00,\"Uscita, n. " + QByteArray::number(i) + "\"\r\n";
        const QString csv = File(u"grande.csv"_qs);
        QVERIFY(WriteFile(csv, text));
        QCOMPARE(TestDatabase::InsertRide(m_path, u"2005-01-01"_qs, 1), QString());
        const QString pristine = File(u"pristine.mdb"_qs);
        QFile::remove(pristine);
        QVERIFY(QFile::copy(m_path, pristine));
        KilledChild::StoresAllOrNothing({ChildSwitch, csv, m_path}, m_path, pristine, 40001);
    }

    void commandsThroughTheWindow()
    {
        QCOMPARE(TestDatabase::InsertRide(m_path, u"2005-03-02"_qs, 40.5, 0, u"Marzo"_qs), QString());
        const auto form = MainWindow::Open(m_program, {u"/NOPROMPTONCLOSE"_qs});
        const auto* list = Child<QTreeView>(form.get(), "ListViewUsciteMensili")->model();
        QCOMPARE(list->rowCount(), 1);
        const QList<QAction*> file = Child<QMenu>(form.get(), "MenuFile")->actions();
        auto* exportCsv = Child<QAction>(form.get(), "MenuEsportaCSV");
        auto* importCsv = Child<QAction>(form.get(), "MenuImportaCSV");
        const qsizetype at = file.indexOf(exportCsv);
        QCOMPARE(file.mid(at + 1), (QList<QAction*>{importCsv, Child<QAction>(form.get(), "MenuImportaGPS"),
                                                     Child<QAction>(form.get(), "MenuRipristinaBackup"),
                                                     file.value(at + 4), Child<QAction>(form.get(), "MenuEsci")}));
        QVERIFY(file[at + 4]->isSeparator());
        QCOMPARE((QStringList{exportCsv->text(), importCsv->text()}),
                 (QStringList{u"Es&porta uscite in CSV..."_qs, u"Importa uscite da &CSV..."_qs}));

        // Export: the documents folder and the name proposed, then a file of our own.
        const QString csv = File(u"diario.csv"_qs);
        ModalBoxes boxes;
        boxes.setDialogHandler([&](QDialog* dialog) {
            auto* chooser = qobject_cast<QFileDialog*>(dialog);
            QVERIFY(chooser && chooser->acceptMode() == QFileDialog::AcceptSave);
            QCOMPARE(chooser->windowTitle(), u"Esporta uscite in CSV"_qs);
            QCOMPARE(chooser->nameFilters(), (QStringList{u"CSV per fogli di calcolo italiani (*.csv)"_qs,
                                                          u"CSV standard (RFC 4180) (*.csv)"_qs}));
            QCOMPARE(chooser->selectedFiles(),
                     QStringList{QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                                     .filePath(u"kilovento-uscite.csv"_qs)});
            TypeFileName(chooser, csv);
        });
        exportCsv->trigger();
        QCOMPARE(boxes.seen().size(), 1);
        QCOMPARE(boxes.seen()[0].text, u"Esportazione conclusa: 1 uscita esportata."_qs);
        QCOMPARE(boxes.seen()[0].icon, QMessageBox::Information);
        // The Italian format unless another is chosen.
        QCOMPARE(Bytes(csv), "\xEF\xBB\xBF" "Data;Tipo;KM;Durata;Descrizione\r\n02/03/2005;Strada;\"40,5\";;Marzo\r\n");

        // Import: two new rides, the one already there, a question with No preselected.
        QVERIFY(WriteFile(csv, Header + "2005-03-02,Strada,40.5,,Marzo\r\n2005-03-03,,5,,\r\n2004-01-01,,6,,\r\n"));
        ChooseFile(boxes, u"Importa uscite da CSV"_qs, csv);
        for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
            boxes.setAnswer(answer);
            importCsv->trigger();
        }
        QCOMPARE(boxes.seen().size(), 4);
        for (int i : {1, 2}) {
            QCOMPARE(boxes.seen()[i].text, u"Il file contiene 2 uscite nuove e 1 già presente nel diario. "
                                           "Importare le 2 uscite nuove?"_qs);
            QCOMPARE(boxes.seen()[i].buttons, QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(boxes.seen()[i].defaultButton, QMessageBox::No);
        }
        QCOMPARE(boxes.seen()[3].text, u"Importazione conclusa: 2 uscite importate."_qs);
        QCOMPARE(Stored(u"SELECT count(*) FROM Uscite"_qs), u"3"_qs);
        QCOMPARE(list->rowCount(), 2); // the month shown, reloaded

        // The same file again stores nothing; a bad row is shown with its place.
        importCsv->trigger();
        QVERIFY(WriteFile(csv, Header + "2005-03-04,,5,,\r\n2005-02-30,,6,,\r\n"));
        importCsv->trigger();
        QCOMPARE(boxes.seen().size(), 6);
        QCOMPARE(boxes.seen()[4].text, u"Le 3 uscite del file sono già presenti nel diario: nessuna uscita importata."_qs);
        QCOMPARE(boxes.seen()[5].text, u"ATTENZIONE: il file CSV non può essere importato.\n\nRiga 3, colonna 1: "
                                       "la data non esiste: \"2005-02-30\""_qs);
        QCOMPARE(boxes.seen()[5].icon, QMessageBox::Warning);
        QCOMPARE(Stored(u"SELECT count(*) FROM Uscite"_qs), u"3"_qs);
        QCOMPARE(MainWindow::StatusText(form.get()), u"Pronto."_qs);
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void largeFilesShowTheirProgress_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("cancelAt");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QString>("last"); // the last box
        const QString reading = u"Lettura del file CSV..."_qs, storing = u"Importazione delle uscite..."_qs;
        const QString cancelled = u"Importazione annullata: nessuna uscita importata."_qs;
        QTest::newRow("a few rows: none") << 4000 << QString() << QStringList() << u"Importazione conclusa: 4.000 uscite importate."_qs;
        QTest::newRow("reading and storing") << 6000 << QString() << QStringList{reading, storing}
                                             << u"Importazione conclusa: 6.000 uscite importate."_qs;
        QTest::newRow("cancelled while reading") << 6000 << reading << QStringList{reading} << cancelled;
        QTest::newRow("cancelled while storing") << 6000 << storing << QStringList{reading, storing} << cancelled;
    }

    void largeFilesShowTheirProgress()
    {
        QFETCH(int, rows);
        QFETCH(QString, cancelAt);
        QFETCH(QStringList, labels);
        QFETCH(QString, last);
        QByteArray text = Header;
        for (int i = 0; i < rows; ++i)
            text += QDate(1990, 1, 1).addDays(i % 5000).toString(Qt::ISODate).toLatin1() + ",,1,,\r\n";
        const QString csv = File(u"progresso.csv"_qs);
        QVERIFY(WriteFile(csv, text));
        const auto form = MainWindow::Open(m_program, {u"/NOPROMPTONCLOSE"_qs});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        ModalBoxes boxes(QMessageBox::Yes);
        ChooseFile(boxes, u"Importa uscite da CSV"_qs, csv);
        ProgressWatcher watcher(cancelAt);
        Child<QAction>(form.get(), "MenuImportaCSV")->trigger();
        QCOMPARE(watcher.labels, labels);
        QCOMPARE(watcher.buttons, QStringList(labels.size(), u"Annulla"_qs));
        QCOMPARE(boxes.seen().last().text, last);
        QCOMPARE(Stored(u"SELECT count(*) FROM Uscite"_qs), cancelAt.isEmpty() ? QString::number(rows) : u"0"_qs);
    }
};

int main(int argc, char* argv[])
{
    if (argc == 4 && QString::fromLocal8Bit(argv[1]) == ChildSwitch) {
        // The child of the fault test: says "go" just before it imports.
        TZTConnection connection;
        connection.Open(TestDatabase::ConnectionStringFor(QString::fromLocal8Bit(argv[3])));
        KilledChild::SayGo();
        const CsvImport::ReadResult read = CsvImport::ReadFile(QString::fromLocal8Bit(argv[2]), LogOf(connection));
        if (read.fault)
            return 1;
        CsvImport::Store(connection, CsvImport::SortOut(connection, read.rides).fresh);
        return 0;
    }
    QApplication app(argc, argv);
    TestCsv test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_csv.moc"
