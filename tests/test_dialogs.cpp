#include "app/Unitmain.h"
#include "forms/StartupSplash.h"
#include "forms/Unitabout.h"
#include "forms/Unitopzioni.h"
#include "forms/Unitsplash.h"
#include "support/Controls.h"
#include "support/ItalianLocale.h"
#include "support/MainWindow.h"
#include "support/ModalBoxes.h"
#include "support/TestDatabase.h"
#include "util/FontChoices.h"
#include "util/IniFile.h"
#include "util/StringTable.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>

namespace {

// Counts the paint events a widget receives.
struct PaintCounter : QObject
{
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

// What the desktop was asked to open.
class UrlRecorder : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public Q_SLOTS:
    void Open(const QUrl& url) { opened.append(url); }
};

}

class TestDialogs : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString Beside(const QString& extension) const { return m_dir.filePath(u"kilovento"_qs + extension); }

    void WriteIni(const QByteArray& options)
    {
        QFile file(Beside(u".ini"_qs));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[DATABASE]\nConnectionString=Provider=SQLite;Data Source=%DATASOURCE%\n" + options);
    }

    std::unique_ptr<TFormMain> OpenMain() const { return MainWindow::Open(m_dir.path(), {u"/NOPROMPTONCLOSE"_qs}); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QCOMPARE(TestDatabase::Create(Beside(u".mdb"_qs)), QString());
        WriteIni(QByteArray());
    }

    // ---- Font list

    void fontChoices_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QStringList>("extra"); // listed besides the installed families and the known aliases
        QTest::newRow("installed family") << u"Alpha"_qs << u"Alpha"_qs << QStringList();
        QTest::newRow("installed family in other case") << u"alpha"_qs << u"Default"_qs << QStringList();
        QTest::newRow("family with a foundry") << u"Liberation Sans [UKWN]"_qs << u"Liberation Sans"_qs << QStringList();
        QTest::newRow("family with a foundry, in other case") << u"liberation sans [urw]"_qs << u"Default"_qs
                                                               << QStringList();
        QTest::newRow("well-known alias") << u"Arial"_qs << u"Arial"_qs << QStringList();
        QTest::newRow("well-known alias in other case") << u"arial"_qs << u"Default"_qs << QStringList();
        QTest::newRow("other alias the system knows") << u"Arimo"_qs << u"Arimo"_qs << QStringList{u"Arimo"_qs};
        QTest::newRow("other alias, with a foundry") << u"Arimo [x]"_qs << u"Arimo"_qs << QStringList{u"Arimo"_qs};
        QTest::newRow("name the system only falls back for") << u"Helvetica"_qs << u"Default"_qs << QStringList();
        QTest::newRow("alias of a font not installed") << u"Courier New"_qs << u"Default"_qs << QStringList();
        QTest::newRow("not installed, with a foundry") << u"Courier New [x]"_qs << u"Default"_qs << QStringList();
    }

    void fontChoices()
    {
        QFETCH(QString, stored);
        QFETCH(QString, selected);
        QFETCH(QStringList, extra);
        // Families of several foundries come once for each.
        const QStringList installed = {u"zeta"_qs,           u"Alpha"_qs,            u"beta Sans"_qs,
                                       u"Liberation Serif"_qs, u"Liberation Sans [urw]"_qs, u"Alpha"_qs,
                                       u"Liberation Sans [UKWN]"_qs, u"zeta [x]"_qs};
        // Empty: the system would draw the name with a generic default.
        const QHash<QString, QString> system = {
            {u"Arial"_qs, u"Liberation Sans"_qs},       {u"arial"_qs, u"Liberation Sans"_qs},
            {u"Arimo"_qs, u"Liberation Sans"_qs},       {u"Times New Roman"_qs, u"Liberation Serif"_qs},
            {u"Courier New"_qs, u"Liberation Mono"_qs}, {u"Helvetica"_qs, QString()},
            {u"alpha"_qs, u"Alpha"_qs},
        };
        const QStringList choices =
            FontChoices::Build(installed, stored, [&system](const QString& name) { return system.value(name); });
        QStringList expected = {u"Default"_qs,          u"Alpha"_qs,           u"Arial"_qs, u"beta Sans"_qs,
                                u"Liberation Sans"_qs, u"Liberation Serif"_qs, u"Times New Roman"_qs, u"zeta"_qs};
        for (const QString& name : extra)
            expected.insert(3, name); // after Arial
        QCOMPARE(choices, expected);
        QCOMPARE(choices.at(FontChoices::IndexOf(choices, stored)), selected);
    }

    // ---- Options dialog

    void optionsFontSelection_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("selected");
        QTest::newRow("installed family") << u"Liberation Serif"_qs << u"Liberation Serif"_qs;
        QTest::newRow("installed family in lower case") << u"liberation serif"_qs << u"Default"_qs;
        QTest::newRow("family of two foundries, as Qt lists it") << u"DejaVu Serif [UKWN]"_qs << u"DejaVu Serif"_qs;
        QTest::newRow("family with a foundry, in lower case") << u"dejavu serif [pfed]"_qs << u"Default"_qs;
        QTest::newRow("Arial drawn with Liberation Sans") << u"Arial"_qs << u"Arial"_qs;
        QTest::newRow("font not installed") << u"Kilovento Nessun Font"_qs << u"Default"_qs;
    }

    void optionsFontSelection()
    {
        QFETCH(QString, stored);
        QFETCH(QString, selected);
        // The tests' own fonts (tests/fonts/fonts.conf.in), whatever else is installed.
        QStringList serif = QFontDatabase::families().filter(u"DejaVu Serif"_qs);
        serif.sort();
        QCOMPARE(serif, QStringList({u"DejaVu Serif [PfEd]"_qs, u"DejaVu Serif [UKWN]"_qs}));
        TFormOpzioni dialog(nullptr, Options{false, stored, 2, 1});
        auto* combo = Child<QComboBox>(&dialog, "ComboBoxFont");
        QCOMPARE(combo->currentText(), selected);
        // The box shows its text in the chosen face, bold as designed.
        QCOMPARE(combo->font().families().value(0), selected);
        QVERIFY(combo->font().bold());
        // A bare OK stores the selected entry: the same name whenever it was found.
        Child<QPushButton>(&dialog, "BitBtnOK")->click();
        QCOMPARE(dialog.Values().printFont, selected);
        // Choosing another entry previews it at once.
        combo->setCurrentIndex(combo->count() - 1);
        QCOMPARE(combo->font().families().value(0), combo->itemText(combo->count() - 1));
        QVERIFY(combo->font().bold());
    }

    void optionsOkOrCancel_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("hotTrack"); // as stored
        QTest::newRow("OK") << u"OK"_qs << false;
        QTest::newRow("Annulla") << u"Annulla"_qs << true;
        QTest::newRow("Escape") << u"Escape"_qs << false;
        QTest::newRow("close box") << u"close"_qs << true;
    }

    void optionsOkOrCancel()
    {
        QFETCH(QString, how);
        QFETCH(bool, hotTrack);
        WriteIni("[OPTIONS]\nCalendarHotTrack=" + QByteArray::number(hotTrack) + "\nPrintFont=Kilovento Nessun Font\n");
        const QString family = u"Liberation Serif"_qs;
        auto form = OpenMain();
        ModalBoxes boxes;
        bool checkedWhenOpened = !hotTrack;
        boxes.setDialogHandler([&](QDialog* dialog) {
            auto* check = Child<QCheckBox>(dialog, "CheckBoxHotTrack");
            checkedWhenOpened = check->isChecked();
            check->click();
            auto* combo = Child<QComboBox>(dialog, "ComboBoxFont");
            combo->setCurrentIndex(combo->findText(family));
            for (int i = 0; i < 3; ++i)
                QTest::keyClick(Child<QSpinBox>(dialog, "UpDownVerticalMargin"), Qt::Key_Up);
            QTest::keyClick(Child<QSpinBox>(dialog, "UpDownHorizontalMargin"), Qt::Key_Down);
            if (how == u"OK")
                Child<QPushButton>(dialog, "BitBtnOK")->click();
            else if (how == u"Annulla")
                Child<QPushButton>(dialog, "BitBtnAnnulla")->click();
            else if (how == u"Escape")
                QTest::keyClick(dialog, Qt::Key_Escape);
            else
                dialog->close();
        });
        Child<QAction>(form.get(), "MenuOpzioni")->trigger();
        QCOMPARE(boxes.dialogsSeen(), 1);
        QCOMPARE(checkedWhenOpened, hotTrack);
        // OK is in effect at once, the file being written only at exit; anything else changes nothing.
        const bool ok = how == u"OK";
        const Options options = form->CurrentOptions();
        QCOMPARE(options.calendarHotTrack, hotTrack != ok);
        QCOMPARE(Child<QListWidget>(form.get(), "ListViewCalendario")->hasMouseTracking(), hotTrack != ok);
        QCOMPARE(options.printFont, ok ? family : u"Kilovento Nessun Font"_qs);
        QCOMPARE(QList<int>({options.printVerticalMargin, options.printHorizontalMargin}),
                 ok ? QList<int>({5, 0}) : QList<int>({2, 1}));
        QCOMPARE(IniFile(Beside(u".ini"_qs)).ReadInteger(u"OPTIONS"_qs, u"PrintVerticalMargin"_qs, -1), -1);
    }

    // Run once more with the fonts this machine has (test_dialogs_installed_fonts).
    void everyInstalledFamily_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("selected");
        for (const QString& family : QFontDatabase::families()) {
            const QString name = family.section(u" ["_qs, 0, 0);
            QTest::newRow(qPrintable(family)) << family << name;
            QTest::newRow(qPrintable(family.toLower())) << family.toLower() << (family.toLower() == family ? name : u"Default"_qs);
        }
    }

    void everyInstalledFamily()
    {
        QFETCH(QString, stored);
        QFETCH(QString, selected);
        TFormOpzioni dialog(nullptr, Options{false, stored, 2, 1});
        QCOMPARE(Child<QComboBox>(&dialog, "ComboBoxFont")->currentText(), selected);
    }

    void marginSpinners_data()
    {
        QTest::addColumn<QString>("spinner");
        QTest::addColumn<QString>("edit");
        QTest::newRow("vertical") << u"UpDownVerticalMargin"_qs << u"EditMargineVerticale"_qs;
        QTest::newRow("horizontal") << u"UpDownHorizontalMargin"_qs << u"EditMargineOrizzontale"_qs;
    }

    void marginSpinners()
    {
        QFETCH(QString, spinner);
        QFETCH(QString, edit);
        // 0 to 10 without wrapping; the figure shows the value and takes no typing.
        const QList<std::tuple<int, QList<int>, int>> steps = {
            {10, {Qt::Key_Up}, 10}, {0, {Qt::Key_Down}, 0}, {2, {Qt::Key_End, Qt::Key_Backspace, Qt::Key_7}, 2}};
        for (const auto& [start, keys, value] : steps) {
            TFormOpzioni dialog(nullptr, Options{false, u"Arial"_qs, start, start});
            auto* box = Child<QSpinBox>(&dialog, spinner);
            for (int key : keys)
                QTest::keyClick(box, Qt::Key(key));
            QCOMPARE(box->value(), value);
            QCOMPARE(Child<QLineEdit>(box, edit)->text(), QString::number(value));
        }
    }

    void yearGoalSpinner_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("typed"); // over the whole figure; when empty, `key` is pressed
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("confirmed");
        QTest::newRow("typed") << 0 << u"6000"_qs << 0 << true << 6000;
        QTest::newRow("five digits at most") << 0 << u"123456"_qs << 0 << true << 12345;
        QTest::newRow("no more than 99999") << 99950 << QString() << int(Qt::Key_Up) << true << 99999;
        QTest::newRow("not below 0") << 0 << QString() << int(Qt::Key_Down) << true << 0;
        QTest::newRow("cancelled") << 4500 << u"6000"_qs << 0 << false << 4500;
    }

    void yearGoalSpinner()
    {
        QFETCH(int, start);
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(bool, ok);
        QFETCH(int, confirmed);
        Options options;
        options.yearGoal = start;
        TFormOpzioni dialog(nullptr, options);
        dialog.show();
        auto* label = Child<QLabel>(&dialog, "LabelObiettivoAnnuo");
        auto* box = Child<QSpinBox>(&dialog, "UpDownObiettivoAnnuo");
        QCOMPARE(label->text().remove(u'&'), u"Obiettivo annuo (km):"_qs);
        QCOMPARE(label->buddy(), box);
        QCOMPARE(box->value(), start);
        box->selectAll();
        if (typed.isEmpty())
            QTest::keyClick(box, Qt::Key(key));
        else
            QTest::keyClicks(box, typed);
        Child<QPushButton>(&dialog, ok ? "BitBtnOK" : "BitBtnAnnulla")->click();
        QCOMPARE(dialog.Values().yearGoal, confirmed);
    }

    // ---- About box

    void aboutTexts()
    {
        TFormAbout about(nullptr, 1, 1, 0, 0);
        const auto string = [](int id) { return StringTable::LoadStr(id); };
        const QList<std::pair<QString, QString>> texts = {
            {u"LabelProductName"_qs, u"Kilovento"_qs}, {u"LabelProductNameShadow"_qs, u"Kilovento"_qs},
            {u"LabelProductDescription"_qs, string(StringTable::ProductDescription)},
            {u"LabelCopyright"_qs, string(StringTable::Copyright)},
            {u"LabelComments"_qs, string(StringTable::Comments)},
            {u"LabelLabelCompanyWebAddress"_qs, u"Internet:"_qs},
            {u"LabelCompanyWebAddress"_qs, string(StringTable::WebAddress)},
            {u"LabelLabelCompanyEMail"_qs, u"E-mail:"_qs}, {u"LabelCompanyEMail"_qs, string(StringTable::EMail)},
        };
        for (const auto& [name, text] : texts) {
            QVERIFY2(!text.isEmpty(), qPrintable(name));
            QCOMPARE(Child<QLabel>(&about, name)->text(), text);
        }
        // The yellow name lies one pixel right of the black one, underneath it.
        auto* name = Child<QLabel>(&about, "LabelProductName");
        auto* shadow = Child<QLabel>(&about, "LabelProductNameShadow");
        QCOMPARE(shadow->pos(), name->pos() + QPoint(1, 0));
        QVERIFY(name->parentWidget()->children().indexOf(shadow) < name->parentWidget()->children().indexOf(name));

        // Nothing is clipped: every text fits inside the panel, the links clear their captions.
        auto* panel = Child<QWidget>(&about, "PanelAbout");
        for (QLabel* label : panel->findChildren<QLabel*>()) {
            QVERIFY2(panel->contentsRect().contains(label->geometry()), qPrintable(label->objectName()));
            const bool fits = label->wordWrap() ? label->heightForWidth(label->width()) <= label->height()
                                                : label->sizeHint().width() <= label->width();
            QVERIFY2(fits || label->text().isEmpty(), qPrintable(label->objectName()));
        }
        QVERIFY(Child<QLabel>(&about, "LabelLabelCompanyWebAddress")->geometry().right()
                < Child<QLabel>(&about, "LabelCompanyWebAddress")->x());
        // The description ends the version's line, on its baseline, clear of it.
        const auto baseline = [](const QLabel* label) {
            const QFontMetrics metrics = label->fontMetrics();
            return label->y() + label->contentsRect().center().y() + (metrics.ascent() - metrics.descent()) / 2;
        };
        auto* version = Child<QLabel>(&about, "LabelVersion");
        auto* description = Child<QLabel>(&about, "LabelProductDescription");
        QVERIFY(qAbs(baseline(version) - baseline(description)) <= 1);
        QVERIFY(version->geometry().right() + 4 < description->x());
        QVERIFY(Child<QLabel>(&about, "LabelLabelCompanyEMail")->geometry().right()
                < Child<QLabel>(&about, "LabelCompanyEMail")->x());
    }

    void aboutBoxOpens_data()
    {
        QTest::addColumn<QString>("clickOn"); // empty: the menu item
        QTest::addColumn<bool>("doubleClick");
        QTest::addColumn<QString>("releaseOn");
        QTest::addColumn<bool>("opened");
        QTest::newRow("menu") << QString() << false << QString() << true;
        QTest::newRow("double click on the logo") << u"logo"_qs << true << u"logo"_qs << true;
        QTest::newRow("double click on the text panel") << u"text"_qs << true << u"text"_qs << false;
        QTest::newRow("single click on the logo") << u"logo"_qs << false << u"logo"_qs << false;
        QTest::newRow("double click on the logo, released on the text") << u"logo"_qs << true << u"text"_qs << false;
    }

    void aboutBoxOpens()
    {
        QFETCH(QString, clickOn);
        QFETCH(bool, doubleClick);
        QFETCH(QString, releaseOn);
        QFETCH(bool, opened);
        auto form = OpenMain();
        auto* bar = Child<QStatusBar>(form.get(), "StatusBarMain");
        const QList<QLabel*> panels = bar->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
        QCOMPARE(panels.first()->objectName(), u"ImageCompanyLogo"_qs);
        const auto at = [&](const QString& panel) { return panels.at(panel == u"logo" ? 0 : 1)->geometry().center(); };

        ModalBoxes boxes;
        QString caption, version;
        boxes.setDialogHandler([&](QDialog* dialog) {
            caption = dialog->windowTitle();
            version = Child<QLabel>(dialog, "LabelVersion")->text();
            dialog->accept();
        });
        if (clickOn.isEmpty()) {
            Child<QAction>(form.get(), "MenuInformazioniSu")->trigger();
        } else {
            // The events a window system delivers for a click and for a double click.
            QTest::mousePress(bar, Qt::LeftButton, {}, at(clickOn));
            QTest::mouseRelease(bar, Qt::LeftButton, {}, at(clickOn));
            if (doubleClick) {
                QTest::mouseDClick(bar, Qt::LeftButton, {}, at(clickOn));
                QTest::mouseRelease(bar, Qt::LeftButton, {}, at(releaseOn));
            }
        }
        QCOMPARE(boxes.dialogsSeen(), int(opened));
        if (opened) {
            QCOMPARE(caption, u"Informazioni su Kilovento"_qs);
            QCOMPARE(version, u"Versione 1.1.0 (Build 0)"_qs); // the build's version
        }
    }

    void aboutClosesWithEnterAndEscape()
    {
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
            TFormAbout about(nullptr, 1, 1, 0, 0);
            ModalBoxes boxes;
            boxes.setDialogHandler([key](QDialog* dialog) { QTest::keyClick(dialog, key); });
            bool timedOut = false; // the key did not close the box, so this did
            QTimer::singleShot(5000, &about, [&] { timedOut = true; about.reject(); });
            QCOMPARE(about.exec(), int(QDialog::Accepted));
            QVERIFY2(!timedOut, qPrintable(QKeySequence(key).toString()));
        }
    }

    void aboutLinks()
    {
        UrlRecorder recorder;
        const QStringList schemes = {u"mailto"_qs, u"https"_qs, u"http"_qs};
        for (const QString& scheme : schemes)
            QDesktopServices::setUrlHandler(scheme, &recorder, "Open");
        {
            TFormAbout about(nullptr, 1, 1, 0, 0);
            // A press released outside the label is no click.
            for (const auto& [name, inside] : {std::pair{"LabelCompanyEMail", false},
                                               std::pair{"LabelCompanyEMail", true},
                                               std::pair{"LabelCompanyWebAddress", true}}) {
                auto* link = Child<QLabel>(&about, name);
                QTest::mousePress(link, Qt::LeftButton);
                QTest::mouseRelease(link, Qt::LeftButton, {}, inside ? link->rect().center() : QPoint(-5, -5));
            }
        }
        for (const QString& scheme : schemes)
            QDesktopServices::unsetUrlHandler(scheme);
        QCOMPARE(recorder.opened, QList<QUrl>({QUrl(u"mailto:"_qs + StringTable::LoadStr(StringTable::EMail)),
                                               QUrl(StringTable::LoadStr(StringTable::WebAddress))}));
    }

    // ---- Splash screen

    void splashLooks()
    {
        TFormSplash splash;
        const QImage image = splash.grab().toImage().scaled(splash.size());
        const int right = splash.width() - 1, bottom = splash.height() - 1;
        // A 2-pixel yellow frame round a white area.
        for (const QPoint& point : {QPoint(0, 0), QPoint(1, 1), QPoint(right, bottom), QPoint(right - 1, bottom - 1)})
            QCOMPARE(image.pixelColor(point), QColor(Qt::yellow));
        for (const QPoint& point : {QPoint(2, 2), QPoint(right - 2, bottom - 2)})
            QCOMPARE(image.pixelColor(point), QColor(Qt::white));
        for (const char* name : {"Image1", "ImageCompanyLogo", "ImageProductName"})
            QVERIFY2(!Child<QLabel>(&splash, name)->pixmap().isNull(), name);
    }

    void splashMinimumTime_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("constructionMs"); // how long the main window took, on the injected clock
        QTest::addColumn<int>("waitMs");         // what remains of the 3000 ms; -1: no splash at all
        QTest::newRow("quick start waits out 3000 ms") << QStringList() << 2600 << 400;
        QTest::newRow("slow start goes at once") << QStringList() << 4500 << 0;
        QTest::newRow("/nosplash") << QStringList{u"/MINIMIZE"_qs, u"/nosplash"_qs} << 0 << -1;
    }

    void splashMinimumTime()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, constructionMs);
        QFETCH(int, waitMs);
        QElapsedTimer real;
        real.start();
        qint64 skipped = 0; // how far the injected clock is ahead of the real one
        QList<qint64> readings;
        StartupSplash splash(arguments, SplashTime([&] { return readings.emplace_back(real.elapsed() + skipped); }));
        TFormSplash* form = splash.Form();
        QCOMPARE(form && form->isVisible(), waitMs >= 0);
        QCOMPARE(readings.size(), form ? 1 : 0); // the clock started once the splash was painted,
        QVERIFY(real.elapsed() < 900);           // at once, not after the safety timeout
        PaintCounter paints;
        if (form) {
            form->installEventFilter(&paints);
            // Something asks for a repaint while start-up waits, as an uncovered window does.
            QTimer::singleShot(100, form, [form] { form->update(); });
        }
        skipped = constructionMs;

        const qint64 before = real.elapsed();
        const std::clock_t processor = std::clock();
        splash.Finish();
        const qint64 waited = real.elapsed() - before;
        const double busyMs = 1000.0 * double(std::clock() - processor) / CLOCKS_PER_SEC;
        QVERIFY(!splash.Form());
        // Up for at least 3000 ms on the clock and not much longer, repainted meanwhile, no processor time burnt.
        if (form)
            QVERIFY(real.elapsed() + skipped - readings.first() >= 3000);
        const int expected = std::max(waitMs, 0);
        QVERIFY2(waited >= expected - 50 && waited < expected + 250, qPrintable(QString::number(waited)));
        if (waitMs > 0)
            QVERIFY(paints.count >= 1);
        QVERIFY2(busyMs < 200, qPrintable(QString::number(busyMs)));
    }
};

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
