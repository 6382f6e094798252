#include "data/TZTConnection.h"
#include "support/ReadOnlyFolder.h"
#include "support/TestDatabase.h"
#include "support/WithoutRootOverride.h"
#include "util/Exception.h"
#include "util/IniFile.h"
#include "util/Settings.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <optional>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString Missing = u"<missing>"_s;

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct stat Stat(const QString& path)
{
    struct stat info = {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info;
}

// Something that exists at `path` and that no one, root included, can open.
bool MakeSocket(const QString& path)
{
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (name.size() >= qsizetype(sizeof address.sun_path))
        return false;
    qstrcpy(address.sun_path, name.constData());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    return bound;
}

}

class TestSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void read_data()
    {
        // Every row reads key "n" of section "s".
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::newRow("no case, trimmed, '=' in value") << QByteArray("[S]\n  N =  a=b  \n") << u"a=b"_s << 42;
        QTest::newRow("integer with blanks") << QByteArray("[s]\nn= 5 \n") << u"5"_s << 5;
        QTest::newRow("negative") << QByteArray("[s]\nn=-1") << u"-1"_s << -1;
        QTest::newRow("trailing letters") << QByteArray("[s]\nn=12abc") << u"12abc"_s << 42;
        QTest::newRow("hexadecimal") << QByteArray("[s]\nn=0x10") << u"0x10"_s << 42;
        QTest::newRow("empty value") << QByteArray("[s]\nn=") << QString() << 42;
        QTest::newRow("double quotes") << QByteArray("[s]\nn=\"Times New Roman\"") << u"Times New Roman"_s << 42;
        QTest::newRow("single quotes keep inner blanks") << QByteArray("[s]\nn=' a '") << u" a "_s << 42;
        QTest::newRow("one pair of quotes only") << QByteArray("[s]\nn=\"\"x\"\"") << u"\"x\""_s << 42;
        QTest::newRow("unbalanced quote kept") << QByteArray("[s]\nn=\"x") << u"\"x"_s << 42;
        QTest::newRow("commented key") << QByteArray("[s]\n;n=1") << Missing << 42;
        QTest::newRow("key of another section") << QByteArray("[s]\n[t]\nn=1") << Missing << 42;
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF[s]\nn=7") << u"7"_s << 7;
        QTest::newRow("UTF-8") << QByteArray("[s]\nn=Caf\xC3\xA9 citt\xC3\xA0") << u"Café città"_s << 42;
        QTest::newRow("windows-1252") << QByteArray("[s]\nn=Caf\xE9 citt\xE0\n") << u"Café città"_s << 42;
        QTest::newRow("windows-1252 euro and quotes")
            << QByteArray("[s]\nn=\x93\x80 5\x94") << u"\u201C\u20AC 5\u201D"_s << 42;
        // The whole file has one encoding: a stray byte elsewhere makes it Windows text.
        QTest::newRow("one stray byte") << QByteArray("[s]\nn=Caf\xC3\xA9\n;\xE9") << u"Caf\u00C3\u00A9"_s << 42;
        QTest::newRow("UTF-8 cut short at the end") << QByteArray("[s]\nn=citt\xC3") << u"citt\u00C3"_s << 42;
        QTest::newRow("missing file") << QByteArray() << Missing << 42;
    }

    void read()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, text);
        QFETCH(int, number);
        if (!content.isNull())
            WriteFile(content);
        const IniFile ini(IniPath());
        QCOMPARE(ini.ReadString(u"S"_s, u"n"_s, Missing), text);
        QCOMPARE(ini.ReadInteger(u"s"_s, u"N"_s, 42), number);
    }

    void write_data()
    {
        // A null original: the file does not exist.
        QTest::addColumn<QByteArray>("original");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("expected");
        const QString v = u"v"_s;
        QTest::newRow("replace in place, no case") << QByteArray("; note\n[A]\nK=1\nOther = 1 \n\n[X]\nk=2\n") << u"a"_s
                                                   << v << QByteArray("; note\n[A]\nk=v\nOther = 1 \n\n[X]\nk=2\n");
        QTest::newRow("append before blank lines") << QByteArray("[A]\nx=1\n\n\n[B]\ny=2\n") << u"A"_s << v
                                                   << QByteArray("[A]\nx=1\nk=v\n\n\n[B]\ny=2\n");
        QTest::newRow("append to empty section") << QByteArray("[A]\n\n[B]\ny=2\n") << u"A"_s << v
                                                 << QByteArray("[A]\nk=v\n\n[B]\ny=2\n");
        QTest::newRow("append to last section") << QByteArray("[A]\nx=1\n[B]\ny=2\n") << u"b"_s << v
                                                << QByteArray("[A]\nx=1\n[B]\ny=2\nk=v\n");
        QTest::newRow("commented key kept") << QByteArray("[A]\n;k=old\n  odd line  \n\n[B]\n") << u"A"_s << v
                                            << QByteArray("[A]\n;k=old\n  odd line  \nk=v\n\n[B]\n");
        QTest::newRow("new section, CRLF") << QByteArray("; top\r\n[A]\r\nx=1\r\n") << u"C"_s << v
                                           << QByteArray("; top\r\n[A]\r\nx=1\r\n\r\n[C]\r\nk=v\r\n");
        QTest::newRow("byte order mark kept") << QByteArray("\xEF\xBB\xBF[A]\nk=1\n") << u"A"_s << v
                                              << QByteArray("\xEF\xBB\xBF[A]\nk=v\n");
        QTest::newRow("missing file") << QByteArray() << u"C"_s << v << QByteArray("[C]\nk=v\n");
        // Lines the program does not change keep their bytes, line ends included.
        QTest::newRow("mixed line ends") << QByteArray("[A]\r\nx=1\n[B]\r\n") << u"A"_s << v
                                         << QByteArray("[A]\r\nx=1\nk=v\r\n[B]\r\n");
        QTest::newRow("last line without its end") << QByteArray("[A]\nk=1\n[B]\ny=2") << u"A"_s << v
                                                   << QByteArray("[A]\nk=v\n[B]\ny=2");
        QTest::newRow("appended after a line without its end") << QByteArray("[A]\nx=1") << u"A"_s << v
                                                               << QByteArray("[A]\nx=1\nk=v\n");
        QTest::newRow("windows-1252 lines kept") << QByteArray("[A]\n; citt\xE0\nname=Caf\xE9 Sans\nk=1\n") << u"A"_s
                                                 << v << QByteArray("[A]\n; citt\xE0\nname=Caf\xE9 Sans\nk=v\n");
        // A changed line is written in the file's own encoding.
        QTest::newRow("windows-1252 value") << QByteArray("[A]\nname=Caf\xE9\nk=1\n") << u"A"_s << u"Città \u20AC"_s
                                            << QByteArray("[A]\nname=Caf\xE9\nk=Citt\xE0 \x80\n");
        QTest::newRow("not in windows-1252") << QByteArray("[A]\n;\xE9\n") << u"A"_s << u"\u0141\u00F3d\u017A"_s
                                             << QByteArray("[A]\n;\xE9\nk=?\xF3" "d?\n");
        QTest::newRow("UTF-8 value") << QByteArray("[A]\nname=Caf\xC3\xA9\n") << u"A"_s << u"Città"_s
                                     << QByteArray("[A]\nname=Caf\xC3\xA9\nk=Citt\xC3\xA0\n");
        QTest::newRow("plain ASCII takes UTF-8") << QByteArray("[A]\nk=1\n") << u"A"_s << u"Città"_s
                                                 << QByteArray("[A]\nk=Citt\xC3\xA0\n");
    }

    void write()
    {
        QFETCH(QByteArray, original);
        QFETCH(QString, section);
        QFETCH(QString, value);
        QFETCH(QByteArray, expected);
        if (!original.isNull())
            WriteFile(original);
        IniFile ini(IniPath());
        ini.WriteString(section, u"k"_s, value);
        QCOMPARE(ini.ReadString(section, u"k"_s, Missing), value);
        // Nothing reaches the disk before UpdateFile().
        QCOMPARE(QFile::exists(IniPath()), !original.isNull());
        QCOMPARE(ReadFile(IniPath()), original);

        ini.UpdateFile();
        QCOMPARE(ReadFile(IniPath()), expected);
        QCOMPARE(FolderEntries(), QStringList{u"kilovento.ini"_s});
    }

    void writeWhereNoFileCanBeMade_data()
    {
        // A null original: no file. A null expected: writing fails and changes nothing.
        QTest::addColumn<QByteArray>("original");
        QTest::addColumn<bool>("readOnlyFolder");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray options = "[OPTIONS]\r\nCalendarHotTrack=1\r\nPrintFont=Courier\r\n"
                                   "PrintVerticalMargin=10\r\nPrintHorizontalMargin=0\r\nYearGoal=0\r\nAutoBackup=1\r\n";
        const QByteArray old = "[OPTIONS]\r\nCalendarHotTrack=0\r\nPrintFont=Arial\r\n";
        QTest::newRow("folder allows new files") << old << false << options;
        QTest::newRow("read-only folder, keys replaced") << old << true << options;
        QTest::newRow("read-only folder, section added")
            << QByteArray("[DATABASE]\r\nConnectionString=x\r\n") << true
            << "[DATABASE]\r\nConnectionString=x\r\n\r\n" + options;
        QTest::newRow("read-only folder, no file") << QByteArray() << true << QByteArray();
    }

    void writeWhereNoFileCanBeMade()
    {
        QFETCH(QByteArray, original);
        QFETCH(bool, readOnlyFolder);
        QFETCH(QByteArray, expected);
        if (!original.isNull())
            WriteFile(original);
        const ino_t before = Stat(IniPath()).st_ino;
        {
            std::optional<ReadOnlyFolder> folder;
            if (readOnlyFolder) {
                folder.emplace(m_dir->path());
                QVERIFY(folder->done());
            }
            const Options options{true, u"Courier"_s, 10, 0};
            if (expected.isNull())
                QVERIFY_THROWS_EXCEPTION(Exception, SettingsFile::WriteOptions(IniPath(), options));
            else
                QVERIFY_THROWS_NO_EXCEPTION(SettingsFile::WriteOptions(IniPath(), options));
        }
        QCOMPARE(ReadFile(IniPath()), expected.isNull() ? original : expected);
        QCOMPARE(FolderEntries(), original.isNull() ? QStringList() : QStringList{u"kilovento.ini"_s});
        // Where the folder allows it, the new text takes the old file's place in one step.
        if (!original.isNull())
            QCOMPARE(Stat(IniPath()).st_ino == before, readOnlyFolder);
    }

    void unreadableFileIsNeverRewritten_data()
    {
        QTest::addColumn<bool>("socket"); // else a write-only file
        QTest::addColumn<QString>("reason");
        QTest::newRow("write-only file") << false << u"permesso negato (EACCES)"_s;
        QTest::newRow("socket in its place") << true << u"non è un file (ENXIO)"_s;
    }

    void unreadableFileIsNeverRewritten()
    {
        QFETCH(bool, socket);
        QFETCH(QString, reason);
        const QByteArray original = "[DATABASE]\nConnectionString=Provider=SQLite;Data Source=%DATASOURCE%\n";
        if (socket) {
            QVERIFY(MakeSocket(IniPath()));
        } else {
            WriteFile(original);
            QVERIFY(QFile::setPermissions(IniPath(), QFile::WriteOwner));
        }
        {
            const WithoutRootOverride asUser;
            // Read as empty, it would lose the connection string, and at exit the options.
            try {
                SettingsFile::Read(IniPath(), u"/d/k.mdb"_s);
                QFAIL("an unreadable file was read");
            } catch (const Exception& e) {
                QVERIFY2(e.Message().startsWith(u"impossibile leggere il file delle impostazioni "_s + IniPath()
                                                + u": "_s + reason),
                         qPrintable(e.Message()));
            }
            QVERIFY_THROWS_EXCEPTION(Exception, SettingsFile::WriteOptions(IniPath(), Options()));
        }
        QCOMPARE(FolderEntries(), QStringList{u"kilovento.ini"_s});
        if (socket) {
            QVERIFY(S_ISSOCK(Stat(IniPath()).st_mode));
        } else {
            QVERIFY(QFile::setPermissions(IniPath(), QFile::ReadOwner | QFile::WriteOwner));
            QCOMPARE(ReadFile(IniPath()), original);
        }
    }

    void readSettings_data()
    {
        // A null text: no file. Otherwise the OPTIONS section's lines.
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<bool>("hotTrack");
        QTest::addColumn<QString>("font");
        QTest::addColumn<QList<int>>("margins"); // vertical, horizontal
        const QString arial = u"Arial"_s;
        QTest::newRow("missing file") << QByteArray() << false << arial << QList<int>{2, 1};
        QTest::newRow("no keys") << QByteArray("") << false << arial << QList<int>{2, 1};
        QTest::newRow("all set") << QByteArray("CalendarHotTrack=1\nPrintFont=Times New Roman\n"
                                               "PrintVerticalMargin=10\nPrintHorizontalMargin=0")
                                 << true << u"Times New Roman"_s << QList<int>{10, 0};
        QTest::newRow("limits, hot track 0")
            << QByteArray("CalendarHotTrack=0\nPrintVerticalMargin=0\nPrintHorizontalMargin=10") << false << arial
            << QList<int>{0, 10};
        QTest::newRow("above range, hot track 5, font quoted blanks")
            << QByteArray("CalendarHotTrack=5\nPrintFont=\"  \"\nPrintVerticalMargin=11\nPrintHorizontalMargin=11")
            << true << arial << QList<int>{2, 1};
        QTest::newRow("negative, font blanks")
            << QByteArray("PrintFont=   \nPrintVerticalMargin=-1\nPrintHorizontalMargin=-1") << false << arial
            << QList<int>{2, 1};
        QTest::newRow("not numbers") << QByteArray("CalendarHotTrack=abc\nPrintVerticalMargin=abc\nPrintHorizontalMargin=")
                                     << false << arial << QList<int>{2, 1};
    }

    void readSettings()
    {
        QFETCH(QByteArray, lines);
        QFETCH(bool, hotTrack);
        QFETCH(QString, font);
        QFETCH(QList<int>, margins);
        // Section and key names match without case; the decoys in [OTHER] are not read.
        if (!lines.isNull())
            WriteFile("[database]\r\nconnectionstring = DS=%DATASOURCE%;Pwd=%PASSWORD%\r\n[OPTIONS]\n" + lines
                      + "\n[OTHER]\nCalendarHotTrack=1\nPrintFont=Wrong\nPrintVerticalMargin=7\n");
        const Settings settings = SettingsFile::Read(IniPath(), u"/d/k.mdb"_s);
        QCOMPARE(settings.connectionStringTemplate, lines.isNull() ? QString() : u"DS=%DATASOURCE%;Pwd=%PASSWORD%"_s);
        QCOMPARE(settings.connectionString, lines.isNull() ? QString() : u"DS=/d/k.mdb;Pwd=girasole"_s);
        QCOMPARE(settings.options.calendarHotTrack, hotTrack);
        QCOMPARE(settings.options.printFont, font);
        QCOMPARE(QList<int>({settings.options.printVerticalMargin, settings.options.printHorizontalMargin}), margins);
        if (lines.isNull())
            QVERIFY(FolderEntries().isEmpty());
    }

    void yearGoal_data()
    {
        // A null text: no such line in OPTIONS.
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("goal");
        QTest::newRow("none") << QByteArray() << 0;
        QTest::newRow("a goal") << QByteArray("YearGoal=6000") << 6000;
        QTest::newRow("the largest") << QByteArray("yeargoal = 99999") << 99999;
        QTest::newRow("above range") << QByteArray("YearGoal=100000") << 0;
        QTest::newRow("negative") << QByteArray("YearGoal=-5") << 0;
        QTest::newRow("not a number") << QByteArray("YearGoal=molti") << 0;
    }

    // Read as the rider left it, and written back so that it reads the same.
    void yearGoal()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, goal);
        WriteFile("[OPTIONS]\r\nPrintFont=Arial\r\n" + line + "\r\n[OTHER]\r\nYearGoal=7\r\n");
        const Options read = SettingsFile::Read(IniPath(), u"/d/k.mdb"_s).options;
        QCOMPARE(read.yearGoal, goal);
        Options changed = read;
        changed.yearGoal = goal + 1;
        SettingsFile::WriteOptions(IniPath(), changed);
        QCOMPARE(IniFile(IniPath()).ReadInteger(u"OPTIONS"_s, u"YearGoal"_s, -1), goal + 1);
        QCOMPARE(IniFile(IniPath()).ReadInteger(u"OTHER"_s, u"YearGoal"_s, -1), 7);
    }

    void expandConnectionString_data()
    {
        QTest::addColumn<QString>("connectionTemplate");
        QTest::addColumn<QString>("dataSource");
        QTest::addColumn<QString>("expected");
        QTest::newRow("every occurrence") << u"%DATASOURCE%|%PASSWORD%|%DATASOURCE%|%PASSWORD%"_s << u"/d/k.mdb"_s
                                          << u"/d/k.mdb|girasole|/d/k.mdb|girasole"_s;
        QTest::newRow("case-sensitive") << u"%Password% %datasource%"_s << u"x"_s << u"%Password% %datasource%"_s;
        QTest::newRow("data source first") << u"%PASSWORD%DATASOURCE%"_s << u"/d/k.mdb"_s << u"%PASSWORD/d/k.mdb"_s;
        // A path is a value: the password placeholder is looked for in the template only.
        QTest::newRow("password text in the data source") << u"DS=%DATASOURCE%"_s << u"/d/%PASSWORD%.mdb"_s
                                                          << u"DS=/d/%PASSWORD%.mdb"_s;
        QTest::newRow("data source not rescanned") << u"DS=%DATASOURCE%"_s << u"/d/%DATASOURCE%"_s
                                                   << u"DS=/d/%DATASOURCE%"_s;
    }

    void expandConnectionString()
    {
        QFETCH(QString, connectionTemplate);
        QFETCH(QString, dataSource);
        QFETCH(QString, expected);
        QCOMPARE(SettingsFile::ExpandConnectionString(connectionTemplate, dataSource), expected);
    }

    void connectionOpensInAnyFolder_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("connectionTemplate");
        const QStringList folders{u"semi;colon"_s, u"both ' and \" ;"_s, u"%PASSWORD%"_s, u"key=value"_s,
                                  u" blanks around "_s};
        const QList<std::pair<const char*, QString>> templates{
            {"plain", u"Provider=SQLite;Data Source=%DATASOURCE%"_s},
            {"double-quoted", u"Provider=SQLite; Data Source = \"%DATASOURCE%\" ;"_s},
            {"single-quoted", u"Data Source='%DATASOURCE%';Provider=SQLite"_s},
        };
        for (const QString& folder : folders)
            for (const auto& [name, connectionTemplate] : templates)
                QTest::addRow("%s, %s", qPrintable(folder), name) << folder << connectionTemplate;
    }

    void connectionOpensInAnyFolder()
    {
        QFETCH(QString, folder);
        QFETCH(QString, connectionTemplate);
        QVERIFY(QDir(m_dir->path()).mkdir(folder));
        const QString path = m_dir->filePath(folder + u"/kilovento.mdb"_s);
        QCOMPARE(TestDatabase::Create(path), QString());
        TZTConnection connection;
        QVERIFY_THROWS_NO_EXCEPTION(connection.Open(SettingsFile::ExpandConnectionString(connectionTemplate, path)));
        QVERIFY(connection.IsOpen());
        QCOMPARE(connection.DataSource(), path);
    }

    void writeOptions()
    {
        // Only the four keys change, in place or appended to their section; every other byte stays.
        WriteFile("; Kilovento\r\n[DATABASE]\r\nConnectionString = x \r\n\r\n[options]\r\nPrintFont=Arial\r\n"
                  "Unknown=yes\r\nCalendarHotTrack=5\r\n\r\n[X]\r\nk=v\r\n");
        SettingsFile::WriteOptions(IniPath(), Options{true, u"Times New Roman"_s, 10, 0});
        QCOMPARE(ReadFile(IniPath()),
                 QByteArray("; Kilovento\r\n[DATABASE]\r\nConnectionString = x \r\n\r\n[options]\r\n"
                            "PrintFont=Times New Roman\r\nUnknown=yes\r\nCalendarHotTrack=1\r\n"
                            "PrintVerticalMargin=10\r\nPrintHorizontalMargin=0\r\nYearGoal=0\r\nAutoBackup=1\r\n"
                            "\r\n[X]\r\nk=v\r\n"));
        QVERIFY(QFile::remove(IniPath()));
        SettingsFile::WriteOptions(IniPath(), Options());
        QCOMPARE(ReadFile(IniPath()), QByteArray("[OPTIONS]\nCalendarHotTrack=0\nPrintFont=Arial\n"
                                                 "PrintVerticalMargin=2\nPrintHorizontalMargin=1\nYearGoal=0\n"
                                                 "AutoBackup=1\n"));
        QVERIFY_THROWS_EXCEPTION(Exception, SettingsFile::WriteOptions(m_dir->filePath(u"no/k.ini"_s), Options()));
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
    void WriteFile(const QByteArray& bytes) const
    {
        QFile file(IniPath());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    QStringList FolderEntries() const
    {
        return QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"