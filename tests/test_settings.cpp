#include "support/ReadOnlyFolder.h"
#include "util/Exception.h"
#include "util/IniFile.h"
#include "util/Settings.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString Missing = u"<missing>"_s;

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
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("replace in place, no case") << QByteArray("; note\n[A]\nK=1\nOther = 1 \n\n[X]\nk=2\n") << u"a"_s
                                                   << QByteArray("; note\n[A]\nk=v\nOther = 1 \n\n[X]\nk=2\n");
        QTest::newRow("append before blank lines") << QByteArray("[A]\nx=1\n\n\n[B]\ny=2\n") << u"A"_s
                                                   << QByteArray("[A]\nx=1\nk=v\n\n\n[B]\ny=2\n");
        QTest::newRow("append to empty section") << QByteArray("[A]\n\n[B]\ny=2\n") << u"A"_s
                                                 << QByteArray("[A]\nk=v\n\n[B]\ny=2\n");
        QTest::newRow("append to last section") << QByteArray("[A]\nx=1\n[B]\ny=2\n") << u"b"_s
                                                << QByteArray("[A]\nx=1\n[B]\ny=2\nk=v\n");
        QTest::newRow("commented key kept") << QByteArray("[A]\n;k=old\n  odd line  \n\n[B]\n") << u"A"_s
                                            << QByteArray("[A]\n;k=old\n  odd line  \nk=v\n\n[B]\n");
        QTest::newRow("new section, CRLF") << QByteArray("; top\r\n[A]\r\nx=1\r\n") << u"C"_s
                                           << QByteArray("; top\r\n[A]\r\nx=1\r\n\r\n[C]\r\nk=v\r\n");
        QTest::newRow("byte order mark kept") << QByteArray("\xEF\xBB\xBF[A]\nk=1\n") << u"A"_s
                                              << QByteArray("\xEF\xBB\xBF[A]\nk=v\n");
        QTest::newRow("missing file") << QByteArray() << u"C"_s << QByteArray("[C]\nk=v\n");
    }

    void write()
    {
        QFETCH(QByteArray, original);
        QFETCH(QString, section);
        QFETCH(QByteArray, expected);
        if (!original.isNull())
            WriteFile(original);
        IniFile ini(IniPath());
        ini.WriteString(section, u"k"_s, u"v"_s);
        QCOMPARE(ini.ReadString(section, u"k"_s, Missing), u"v"_s);
        // Nothing reaches the disk before UpdateFile().
        QCOMPARE(QFile::exists(IniPath()), !original.isNull());
        QCOMPARE(ReadFile(IniPath()), original);

        ini.UpdateFile();
        QCOMPARE(ReadFile(IniPath()), expected);
        QCOMPARE(FolderEntries(), QStringList{u"kilovento.ini"_s});
    }

    void writeReplacesTheFileAtomically()
    {
        // The new text goes to a new file that then takes the old one's place: in a
        // folder where no file can be made, writing fails and the old file stays as it was.
        const QByteArray original = "[OPTIONS]\r\nPrintFont=Courier\r\n";
        WriteFile(original);
        {
            const ReadOnlyFolder folder(m_dir->path());
            QVERIFY(folder.done());
            QVERIFY_THROWS_EXCEPTION(Exception, SettingsFile::WriteOptions(IniPath(), Options()));
        }
        QCOMPARE(ReadFile(IniPath()), original);
        QCOMPARE(FolderEntries(), QStringList{u"kilovento.ini"_s});
        QVERIFY_THROWS_EXCEPTION(Exception, SettingsFile::WriteOptions(m_dir->filePath(u"no/k.ini"_s), Options()));
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

    void expandConnectionString_data()
    {
        QTest::addColumn<QString>("connectionTemplate");
        QTest::addColumn<QString>("dataSource");
        QTest::addColumn<QString>("expected");
        QTest::newRow("every occurrence") << u"%DATASOURCE%|%PASSWORD%|%DATASOURCE%|%PASSWORD%"_s << u"/d/k.mdb"_s
                                          << u"/d/k.mdb|girasole|/d/k.mdb|girasole"_s;
        QTest::newRow("case-sensitive") << u"%Password% %datasource%"_s << u"x"_s << u"%Password% %datasource%"_s;
        // The data source goes in first, so a password placeholder inside it is filled in too.
        QTest::newRow("password in the data source") << u"DS=%DATASOURCE%"_s << u"/d/%PASSWORD%.mdb"_s
                                                     << u"DS=/d/girasole.mdb"_s;
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

    void writeOptions()
    {
        // Only the four keys change, in place or appended to their section; every other byte stays.
        WriteFile("; Kilovento\r\n[DATABASE]\r\nConnectionString = x \r\n\r\n[options]\r\nPrintFont=Arial\r\n"
                  "Unknown=yes\r\nCalendarHotTrack=5\r\n\r\n[X]\r\nk=v\r\n");
        SettingsFile::WriteOptions(IniPath(), Options{true, u"Times New Roman"_s, 10, 0});
        QCOMPARE(ReadFile(IniPath()),
                 QByteArray("; Kilovento\r\n[DATABASE]\r\nConnectionString = x \r\n\r\n[options]\r\n"
                            "PrintFont=Times New Roman\r\nUnknown=yes\r\nCalendarHotTrack=1\r\n"
                            "PrintVerticalMargin=10\r\nPrintHorizontalMargin=0\r\n\r\n[X]\r\nk=v\r\n"));
        QVERIFY(QFile::remove(IniPath()));
        SettingsFile::WriteOptions(IniPath(), Options());
        QCOMPARE(ReadFile(IniPath()), QByteArray("[OPTIONS]\nCalendarHotTrack=0\nPrintFont=Arial\n"
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