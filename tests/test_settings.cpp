#include "util/Exception.h"
#include "util/IniFile.h"
#include "util/Settings.h"

#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString Missing = u"<missing>"_s;

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}

class TestSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void readString_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const QByteArray ini = "; Kilovento\n[Database]\n  ConnectionString =  Provider=SQLite;Data Source=x  \n"
                               "[OPTIONS]\nPrintFont=\"Times New Roman\"\nSingle=' a '\nTwoPairs=\"\"x\"\"\n"
                               "Unbalanced=\"x\n;Commented=1\nEmpty=\n[Other]\nOnly=here\n";
        const QString connection = u"Provider=SQLite;Data Source=x"_s;
        QTest::newRow("value with '=' trimmed") << ini << u"Database"_s << u"ConnectionString"_s << connection;
        QTest::newRow("no case") << ini << u"DATABASE"_s << u"connectionstring"_s << connection;
        QTest::newRow("double quotes") << ini << u"options"_s << u"PrintFont"_s << u"Times New Roman"_s;
        QTest::newRow("single quotes keep inner blanks") << ini << u"OPTIONS"_s << u"Single"_s << u" a "_s;
        QTest::newRow("one pair of quotes only") << ini << u"OPTIONS"_s << u"TwoPairs"_s << u"\"x\""_s;
        QTest::newRow("unbalanced quote kept") << ini << u"OPTIONS"_s << u"Unbalanced"_s << u"\"x"_s;
        QTest::newRow("commented key") << ini << u"OPTIONS"_s << u"Commented"_s << Missing;
        QTest::newRow("empty value") << ini << u"OPTIONS"_s << u"Empty"_s << QString();
        QTest::newRow("key of another section") << ini << u"OPTIONS"_s << u"Only"_s << Missing;
        QTest::newRow("missing section") << ini << u"NONE"_s << u"Only"_s << Missing;
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF[A]\nk=v") << u"A"_s << u"k"_s << u"v"_s;
    }

    void readString()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        WriteFile(IniPath(), content);
        QCOMPARE(IniFile(IniPath()).ReadString(section, key, Missing), expected);
    }

    void readInteger_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("expected");
        QTest::newRow("plain") << QByteArray("N=7") << 7;
        QTest::newRow("blanks around") << QByteArray("N= 5 ") << 5;
        QTest::newRow("negative") << QByteArray("N=-1") << -1;
        QTest::newRow("letters") << QByteArray("N=abc") << 42;
        QTest::newRow("trailing letters") << QByteArray("N=12abc") << 42;
        QTest::newRow("empty") << QByteArray("N=") << 42;
        QTest::newRow("hexadecimal") << QByteArray("N=0x10") << 42;
        QTest::newRow("overflow") << QByteArray("N=99999999999") << 42;
        QTest::newRow("missing key") << QByteArray("M=3") << 42;
    }

    void readInteger()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, expected);
        WriteFile(IniPath(), "[S]\n" + line + '\n');
        QCOMPARE(IniFile(IniPath()).ReadInteger(u"s"_s, u"n"_s, 42), expected);
    }

    void missingFileReadsAsEmpty()
    {
        const IniFile ini(IniPath());
        QCOMPARE(ini.ReadString(u"DATABASE"_s, u"ConnectionString"_s, Missing), Missing);
        QCOMPARE(ini.ReadInteger(u"OPTIONS"_s, u"PrintVerticalMargin"_s, 42), 42);
        const Settings settings = SettingsFile::Read(IniPath(), u"/data/kilovento.mdb"_s);
        QVERIFY(settings.connectionStringTemplate.isEmpty());
        QVERIFY(settings.connectionString.isEmpty());
        QCOMPARE(settings.options.calendarHotTrack, false);
        QCOMPARE(settings.options.printFont, u"Arial"_s);
        QCOMPARE(settings.options.printVerticalMargin, 2);
        QCOMPARE(settings.options.printHorizontalMargin, 1);
        QVERIFY(FolderEntries().isEmpty());
    }

    void write_data()
    {
        // A null original: the file does not exist.
        QTest::addColumn<QByteArray>("original");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("replace in place") << QByteArray("; note\n[A]\nk=1\nOther = 1 \n\n[X]\nk=2\n") << u"a"_s
                                          << u"k"_s << QByteArray("; note\n[A]\nk=v\nOther = 1 \n\n[X]\nk=2\n");
        QTest::newRow("replace, CRLF") << QByteArray("[A]\r\nk=1\r\ny=2\r\n") << u"A"_s << u"k"_s
                                       << QByteArray("[A]\r\nk=v\r\ny=2\r\n");
        QTest::newRow("append before blank lines") << QByteArray("[A]\nx=1\n\n\n[B]\ny=2\n") << u"A"_s << u"k"_s
                                                   << QByteArray("[A]\nx=1\nk=v\n\n\n[B]\ny=2\n");
        QTest::newRow("append to empty section") << QByteArray("[A]\n\n[B]\ny=2\n") << u"A"_s << u"k"_s
                                                 << QByteArray("[A]\nk=v\n\n[B]\ny=2\n");
        QTest::newRow("append to last section") << QByteArray("[A]\nx=1\n[B]\ny=2\n") << u"b"_s << u"k"_s
                                                << QByteArray("[A]\nx=1\n[B]\ny=2\nk=v\n");
        QTest::newRow("commented key kept") << QByteArray("[A]\n;k=old\n  odd line  \n\n[B]\n") << u"A"_s << u"k"_s
                                            << QByteArray("[A]\n;k=old\n  odd line  \nk=v\n\n[B]\n");
        QTest::newRow("new section at the end") << QByteArray("; top\n[A]\nx=1\n") << u"C"_s << u"k"_s
                                                << QByteArray("; top\n[A]\nx=1\n\n[C]\nk=v\n");
        QTest::newRow("new section, CRLF") << QByteArray("[A]\r\nx=1\r\n") << u"C"_s << u"k"_s
                                           << QByteArray("[A]\r\nx=1\r\n\r\n[C]\r\nk=v\r\n");
        QTest::newRow("byte order mark kept") << QByteArray("\xEF\xBB\xBF[A]\nk=1\n") << u"A"_s << u"k"_s
                                              << QByteArray("\xEF\xBB\xBF[A]\nk=v\n");
        QTest::newRow("missing file") << QByteArray() << u"C"_s << u"k"_s << QByteArray("[C]\nk=v\n");
    }

    void write()
    {
        QFETCH(QByteArray, original);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QByteArray, expected);
        if (!original.isNull())
            WriteFile(IniPath(), original);
        IniFile ini(IniPath());
        ini.WriteString(section, key, u"v"_s);
        QCOMPARE(ini.ReadString(section, key, Missing), u"v"_s);
        // Nothing reaches the disk before UpdateFile().
        QCOMPARE(QFile::exists(IniPath()), !original.isNull());
        QCOMPARE(ReadFile(IniPath()), original.isNull() ? QByteArray() : original);

        ini.UpdateFile();
        QCOMPARE(ReadFile(IniPath()), expected);
        QCOMPARE(FolderEntries(), QStringList{u"kilovento.ini"_s});
    }

    void writeMatchesKeyWithoutCase()
    {
        WriteFile(IniPath(), "[Opzioni]\nPrintFont=Arial\n");
        IniFile ini(IniPath());
        ini.WriteString(u"OPZIONI"_s, u"printfont"_s, u"Courier"_s);
        ini.UpdateFile();
        const QByteArray written = ReadFile(IniPath());
        QVERIFY(written.startsWith("[Opzioni]\n"));
        QCOMPARE(written.count('\n'), 2);
        QCOMPARE(IniFile(IniPath()).ReadString(u"Opzioni"_s, u"PrintFont"_s, Missing), u"Courier"_s);
    }

    void updateFileRefusesReadOnlyFile()
    {
        const QByteArray original = "[A]\r\nx=1\r\n";
        WriteFile(IniPath(), original);
        IniFile ini(IniPath());
        ini.WriteString(u"A"_s, u"x"_s, u"2"_s);
        QVERIFY(QFile::setPermissions(IniPath(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        // Root ignores permission bits, but not the immutable attribute.
        const QString chattr = QStandardPaths::findExecutable(u"chattr"_s);
        const bool immutable = QFileInfo(IniPath()).isWritable() && !chattr.isEmpty()
                               && QProcess::execute(chattr, {u"+i"_s, IniPath()}) == 0;
        const auto restore = qScopeGuard([&] {
            if (immutable)
                QProcess::execute(chattr, {u"-i"_s, IniPath()});
            QFile::setPermissions(IniPath(), QFile::ReadOwner | QFile::WriteOwner);
        });
        if (QFileInfo(IniPath()).isWritable())
            QSKIP("running as root without chattr: the file cannot be made read-only");

        QVERIFY_THROWS_EXCEPTION(Exception, ini.UpdateFile());
        QCOMPARE(ReadFile(IniPath()), original);
        QCOMPARE(FolderEntries(), QStringList{u"kilovento.ini"_s});
    }

    void writeFailsWhenFolderIsMissing()
    {
        const QString path = m_dir->filePath(u"missing/kilovento.ini"_s);
        IniFile ini(path);
        ini.WriteString(u"A"_s, u"x"_s, u"1"_s);
        QVERIFY_THROWS_EXCEPTION(Exception, ini.UpdateFile());
        QVERIFY_THROWS_EXCEPTION(Exception, SettingsFile::WriteOptions(path, Options()));
        QVERIFY(FolderEntries().isEmpty());
    }

    void readOptions_data()
    {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<bool>("hotTrack");
        QTest::addColumn<QString>("font");
        QTest::addColumn<QList<int>>("margins"); // vertical, horizontal
        const QString arial = u"Arial"_s;
        QTest::newRow("no keys") << QByteArray() << false << arial << QList<int>{2, 1};
        QTest::newRow("all set") << QByteArray("CalendarHotTrack=1\nPrintFont=Times New Roman\n"
                                               "PrintVerticalMargin=10\nPrintHorizontalMargin=0")
                                 << true << u"Times New Roman"_s << QList<int>{10, 0};
        QTest::newRow("out of range, hot track 5")
            << QByteArray("CalendarHotTrack=5\nPrintVerticalMargin=11\nPrintHorizontalMargin=11") << true << arial
            << QList<int>{2, 1};
        QTest::newRow("negative") << QByteArray("PrintVerticalMargin=-1\nPrintHorizontalMargin=-1") << false
                                  << arial << QList<int>{2, 1};
        QTest::newRow("not numbers") << QByteArray("CalendarHotTrack=abc\nPrintVerticalMargin=abc\nPrintHorizontalMargin=")
                                     << false << arial << QList<int>{2, 1};
        QTest::newRow("limits, hot track 0")
            << QByteArray("CalendarHotTrack=0\nPrintVerticalMargin=0\nPrintHorizontalMargin=10") << false << arial
            << QList<int>{0, 10};
        QTest::newRow("font empty") << QByteArray("PrintFont=") << false << arial << QList<int>{2, 1};
        QTest::newRow("font blanks") << QByteArray("PrintFont=   ") << false << arial << QList<int>{2, 1};
        QTest::newRow("font quoted blanks") << QByteArray("PrintFont=\"  \"") << false << arial << QList<int>{2, 1};
    }

    void readOptions()
    {
        QFETCH(QByteArray, lines);
        QFETCH(bool, hotTrack);
        QFETCH(QString, font);
        QFETCH(QList<int>, margins);
        WriteFile(IniPath(), "[DATABASE]\nConnectionString=x\n[OPTIONS]\n" + lines
                                 + "\n[OTHER]\nCalendarHotTrack=1\nPrintFont=Wrong\nPrintVerticalMargin=7\n");
        const Options options = SettingsFile::Read(IniPath(), u"/d/k.mdb"_s).options;
        QCOMPARE(options.calendarHotTrack, hotTrack);
        QCOMPARE(options.printFont, font);
        QCOMPARE(QList<int>({options.printVerticalMargin, options.printHorizontalMargin}), margins);
    }

    void readConnectionString()
    {
        WriteFile(IniPath(), "[database]\r\nconnectionstring = Provider=SQLite;Data Source=%DATASOURCE%;Pwd=%PASSWORD%\r\n");
        const Settings settings = SettingsFile::Read(IniPath(), u"/home/rider/kilovento.mdb"_s);
        QCOMPARE(settings.connectionStringTemplate, u"Provider=SQLite;Data Source=%DATASOURCE%;Pwd=%PASSWORD%"_s);
        QCOMPARE(settings.connectionString, u"Provider=SQLite;Data Source=/home/rider/kilovento.mdb;Pwd=girasole"_s);
    }

    void expandConnectionString_data()
    {
        QTest::addColumn<QString>("connectionTemplate");
        QTest::addColumn<QString>("dataSource");
        QTest::addColumn<QString>("expected");
        QTest::newRow("every occurrence") << u"%DATASOURCE%|%PASSWORD%|%DATASOURCE%|%PASSWORD%"_s << u"/d/k.mdb"_s
                                          << u"/d/k.mdb|girasole|/d/k.mdb|girasole"_s;
        QTest::newRow("case-sensitive") << u"%Password% %datasource%"_s << u"x"_s << u"%Password% %datasource%"_s;
        QTest::newRow("password in the data source") << u"DS=%DATASOURCE%"_s << u"/d/%PASSWORD%.mdb"_s
                                                     << u"DS=/d/girasole.mdb"_s;
        QTest::newRow("data source not rescanned") << u"DS=%DATASOURCE%"_s << u"/d/%DATASOURCE%"_s
                                                   << u"DS=/d/%DATASOURCE%"_s;
        QTest::newRow("no placeholder made by joining") << u"%DATASOURCE%SOURCE%"_s << u"%DATA"_s
                                                        << u"%DATASOURCE%"_s;
        QTest::newRow("no placeholders") << u"Provider=SQLite"_s << u"x"_s << u"Provider=SQLite"_s;
    }

    void expandConnectionString()
    {
        QFETCH(QString, connectionTemplate);
        QFETCH(QString, dataSource);
        QFETCH(QString, expected);
        QCOMPARE(SettingsFile::ExpandConnectionString(connectionTemplate, dataSource), expected);
    }

    void writeOptions_data()
    {
        QTest::addColumn<QByteArray>("original");
        QTest::addColumn<bool>("hotTrack");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("missing file") << QByteArray() << true
                                      << QByteArray("[OPTIONS]\nCalendarHotTrack=1\nPrintFont=Times New Roman\n"
                                                    "PrintVerticalMargin=10\nPrintHorizontalMargin=0\n");
        const QByteArray database = "[DATABASE]\nConnectionString=Provider=SQLite;Data Source=%DATASOURCE%\n";
        QTest::newRow("missing section") << database << false
                                         << database + "\n[OPTIONS]\nCalendarHotTrack=0\nPrintFont=Times New Roman\n"
                                                       "PrintVerticalMargin=10\nPrintHorizontalMargin=0\n";
        QTest::newRow("other lines kept, CRLF")
            << QByteArray("; Kilovento\r\n[DATABASE]\r\nConnectionString = Provider=SQLite;Data Source=%DATASOURCE% "
                          "\r\n\r\n[options]\r\nPrintFont=Arial\r\nUnknown=yes\r\nCalendarHotTrack=5\r\n\r\n[X]\r\nk=v\r\n")
            << true
            << QByteArray("; Kilovento\r\n[DATABASE]\r\nConnectionString = Provider=SQLite;Data Source=%DATASOURCE% "
                          "\r\n\r\n[options]\r\nPrintFont=Times New Roman\r\nUnknown=yes\r\nCalendarHotTrack=1\r\n"
                          "PrintVerticalMargin=10\r\nPrintHorizontalMargin=0\r\n\r\n[X]\r\nk=v\r\n");
    }

    void writeOptions()
    {
        QFETCH(QByteArray, original);
        QFETCH(bool, hotTrack);
        QFETCH(QByteArray, expected);
        if (!original.isNull())
            WriteFile(IniPath(), original);
        SettingsFile::WriteOptions(IniPath(), Options{hotTrack, u"Times New Roman"_s, 10, 0});
        QCOMPARE(ReadFile(IniPath()), expected);
        QCOMPARE(FolderEntries(), QStringList{u"kilovento.ini"_s});
    }

    void hotTrackWrittenBackAsOne()
    {
        WriteFile(IniPath(), "[OPTIONS]\nCalendarHotTrack=5\n");
        const Settings settings = SettingsFile::Read(IniPath(), QString());
        QVERIFY(settings.options.calendarHotTrack);
        SettingsFile::WriteOptions(IniPath(), settings.options);
        QCOMPARE(ReadFile(IniPath()), QByteArray("[OPTIONS]\nCalendarHotTrack=1\nPrintFont=Arial\n"
                                                 "PrintVerticalMargin=2\nPrintHorizontalMargin=1\n"));
    }

    void siblingPath_data()
    {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no extension") << u"/opt/kv/kilovento"_s << u".ini"_s << u"/opt/kv/kilovento.ini"_s;
        QTest::newRow("extension replaced") << u"/opt/kv/kilovento.bin"_s << u".mdb"_s << u"/opt/kv/kilovento.mdb"_s;
        QTest::newRow("dot in the folder") << u"/opt/kv.d/kilovento"_s << u".ini"_s << u"/opt/kv.d/kilovento.ini"_s;
        QTest::newRow("last extension only") << u"/opt/kv/kv.x.bin"_s << u".ini"_s << u"/opt/kv/kv.x.ini"_s;
    }

    void siblingPath()
    {
        QFETCH(QString, executable);
        QFETCH(QString, extension);
        QFETCH(QString, expected);
        QCOMPARE(SettingsFile::SiblingPath(executable, extension), expected);
    }

private:
    QString IniPath() const { return m_dir->filePath(u"kilovento.ini"_s); }
    QStringList FolderEntries() const
    {
        return QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
