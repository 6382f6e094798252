#include "app/Commands.h"
#include "app/Unitmain.h"
#include "forms/StartupSplash.h"
#include "forms/Unitabout.h"
#include "forms/Unitopzioni.h"
#include "forms/Unitsplash.h"
#include "support/Controls.h"
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
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject
{
public:
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
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

    void WriteIni(const QString& options)
    {
        QFile file(Beside(u".ini"_qs));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[DATABASE]\nConnectionString=Provider=SQLite;Data Source=%DATASOURCE%\n");
        file.write(options.toUtf8());
    }

    std::unique_ptr<TFormMain> OpenMain() const
    {
        StartupEnvironment environment;
        environment.executablePath = Beside(QString());
        environment.arguments = {u"/NOPROMPTONCLOSE"_qs};
        environment.today = [] { return QDate(2005, 3, 15); };
        return std::make_unique<TFormMain>(environment);
    }

    // An installed family whose name changes when written in lower case.
    static QString InstalledFamily()
    {
        for (const QString& family : QFontDatabase::families())
            if (family != family.toLower())
                return family;
        return QString();
    }

    static bool ArialIsAnAlias()
    {
        return QFontDatabase::families().contains(u"Liberation Sans"_qs)
               && QFontInfo(QFont(u"Arial"_qs)).family() == u"Liberation Sans";
    }

private Q_SLOTS:
    void initTestCase();
    void init();

    void fontChoices_data();
    void fontChoices();

    void optionsFontSelection_data();
    void optionsFontSelection();
    void optionsOkAppliesAtOnceAndIsWrittenAtExit();
    void optionsCancelAppliesNothing_data();
    void optionsCancelAppliesNothing();
    void marginSpinners_data();
    void marginSpinners();

    void aboutTexts();
    void aboutOpensFromTheMenuWithTheBuildsVersion();
    void aboutClosesWithEnterAndEscape_data();
    void aboutClosesWithEnterAndEscape();
    void aboutLinks_data();
    void aboutLinks();
    void logoDoubleClickOpensTheAboutBox_data();
    void logoDoubleClickOpensTheAboutBox();

    void splashLooks();
    void splashMinimumTime_data();
    void splashMinimumTime();
    void splashKeepsPaintingWhileItWaits();
};

void TestDialogs::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    QVERIFY(m_dir.isValid());
}

void TestDialogs::init()
{
    QFile::remove(Beside(u".mdb"_qs));
    QCOMPARE(TestDatabase::Create(Beside(u".mdb"_qs)), QString());
    WriteIni(QString());
}

// ---- Font list

void TestDialogs::fontChoices_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QStringList>("extra"); // listed besides the installed families and the known aliases

    QTest::newRow("installed family") << u"Alpha"_qs << u"Alpha"_qs << QStringList();
    QTest::newRow("installed family in other case") << u"alpha"_qs << u"Default"_qs << QStringList();
    QTest::newRow("well-known alias") << u"Arial"_qs << u"Arial"_qs << QStringList();
    QTest::newRow("well-known alias in other case") << u"arial"_qs << u"Default"_qs << QStringList();
    QTest::newRow("other alias the system knows") << u"Arimo"_qs << u"Arimo"_qs << QStringList{u"Arimo"_qs};
    QTest::newRow("name the system only falls back for") << u"Helvetica"_qs << u"Default"_qs << QStringList();
    QTest::newRow("alias of a font not installed") << u"Courier New"_qs << u"Default"_qs << QStringList();
    QTest::newRow("unknown name") << u"Nessuno"_qs << u"Default"_qs << QStringList();
    QTest::newRow("empty name") << QString() << u"Default"_qs << QStringList();
}

void TestDialogs::fontChoices()
{
    QFETCH(QString, stored);
    QFETCH(QString, selected);
    QFETCH(QStringList, extra);

    const QStringList installed = {u"zeta"_qs, u"Alpha"_qs, u"beta Sans"_qs, u"Liberation Serif"_qs,
                                   u"Liberation Sans"_qs, u"Alpha"_qs};
    // Empty: the system would draw the name with a generic default.
    const QHash<QString, QString> system = {
        {u"Arial"_qs, u"Liberation Sans"_qs},       {u"arial"_qs, u"Liberation Sans"_qs},
        {u"Arimo"_qs, u"Liberation Sans"_qs},       {u"Times New Roman"_qs, u"Liberation Serif"_qs},
        {u"Courier New"_qs, u"Liberation Mono"_qs}, {u"Helvetica"_qs, QString()},
        {u"alpha"_qs, u"Alpha"_qs},
    };
    const QStringList choices =
        FontChoices::Build(installed, stored, [&system](const QString& name) { return system.value(name); });

    QStringList expected = {u"Default"_qs,          u"Alpha"_qs, u"Arial"_qs, u"beta Sans"_qs, u"Liberation Sans"_qs,
                            u"Liberation Serif"_qs, u"Times New Roman"_qs, u"zeta"_qs};
    for (const QString& name : extra)
        expected.insert(3, name); // after Arial
    QCOMPARE(choices, expected);
    const int index = FontChoices::IndexOf(choices, stored);
    QCOMPARE(choices.at(index), selected);
}

// ---- Options dialog

void TestDialogs::optionsFontSelection_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("selected");
    const QString family = InstalledFamily();
    QTest::newRow("installed family") << family << family;
    QTest::newRow("installed family in lower case") << family.toLower() << u"Default"_qs;
    QTest::newRow("not installed") << u"Kilovento Nessun Font"_qs << u"Default"_qs;
    if (ArialIsAnAlias()) {
        QTest::newRow("Arial drawn with Liberation Sans") << u"Arial"_qs << u"Arial"_qs;
        QTest::newRow("arial") << u"arial"_qs << u"Default"_qs;
    }
}

void TestDialogs::optionsFontSelection()
{
    QFETCH(QString, stored);
    QFETCH(QString, selected);
    QVERIFY2(!stored.isEmpty(), "no installed font family");

    Options current;
    current.printFont = stored;
    TFormOpzioni dialog(nullptr, current);
    auto* combo = Child<QComboBox>(&dialog, "ComboBoxFont");
    QCOMPARE(combo->currentText(), selected);
    // The box shows its text in the chosen face, bold as designed.
    QCOMPARE(combo->font().families().value(0), selected);
    QVERIFY(combo->font().bold());
    QVERIFY(!combo->isEditable());

    // A bare OK stores the selected entry: the same name whenever it was found.
    Child<QPushButton>(&dialog, "BitBtnOK")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.Values().printFont, selected);

    // Choosing another entry previews it at once.
    combo->setCurrentIndex(combo->count() - 1);
    QCOMPARE(combo->font().families().value(0), combo->itemText(combo->count() - 1));
    QVERIFY(combo->font().bold());
}

void TestDialogs::optionsOkAppliesAtOnceAndIsWrittenAtExit()
{
    WriteIni(u"[OPTIONS]\nCalendarHotTrack=0\nPrintFont=Kilovento Nessun Font\nPrintVerticalMargin=2\n"
             "PrintHorizontalMargin=1\n"_qs);
    const QString family = InstalledFamily();
    QVERIFY(!family.isEmpty());
    {
        auto form = OpenMain();
        ModalBoxes boxes;
        QString caption;
        boxes.setDialogHandler([&](QDialog* dialog) {
            caption = dialog->windowTitle();
            Child<QCheckBox>(dialog, "CheckBoxHotTrack")->click();
            auto* combo = Child<QComboBox>(dialog, "ComboBoxFont");
            combo->setCurrentIndex(combo->findText(family));
            for (int i = 0; i < 3; ++i)
                QTest::keyClick(Child<QSpinBox>(dialog, "UpDownVerticalMargin"), Qt::Key_Up);
            QTest::keyClick(Child<QSpinBox>(dialog, "UpDownHorizontalMargin"), Qt::Key_Down);
            Child<QPushButton>(dialog, "BitBtnOK")->click();
        });
        Child<QAction>(form.get(), "MenuOpzioni")->trigger();
        QCOMPARE(boxes.dialogsSeen(), 1);
        QCOMPARE(caption, u"Opzioni"_qs);
        QVERIFY(form->CalendarHotTrack());
        QVERIFY(Child<QWidget>(form.get(), "ListViewCalendario")->hasMouseTracking());
        QCOMPARE(form->PrintFont, family);
        QCOMPARE(form->PrintVerticalMargin, 5);
        QCOMPARE(form->PrintHorizontalMargin, 0);
        // Nothing reaches the file before the program ends.
        QCOMPARE(IniFile(Beside(u".ini"_qs)).ReadInteger(u"OPTIONS"_qs, u"PrintVerticalMargin"_qs, -1), 2);
    }
    const IniFile ini(Beside(u".ini"_qs));
    QCOMPARE(ini.ReadInteger(u"OPTIONS"_qs, u"CalendarHotTrack"_qs, -1), 1);
    QCOMPARE(ini.ReadString(u"OPTIONS"_qs, u"PrintFont"_qs, QString()), family);
    QCOMPARE(ini.ReadInteger(u"OPTIONS"_qs, u"PrintVerticalMargin"_qs, -1), 5);
    QCOMPARE(ini.ReadInteger(u"OPTIONS"_qs, u"PrintHorizontalMargin"_qs, -1), 0);
}

void TestDialogs::optionsCancelAppliesNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("hotTrack");
    QTest::newRow("Annulla, hot tracking on") << u"Annulla"_qs << true;
    QTest::newRow("Annulla, hot tracking off") << u"Annulla"_qs << false;
    QTest::newRow("Escape") << u"Escape"_qs << true;
    QTest::newRow("close box") << u"close"_qs << false;
}

void TestDialogs::optionsCancelAppliesNothing()
{
    QFETCH(QString, how);
    QFETCH(bool, hotTrack);
    WriteIni(u"[OPTIONS]\nCalendarHotTrack=%1\nPrintFont=Kilovento Nessun Font\nPrintVerticalMargin=4\n"_qs.arg(
        hotTrack ? 1 : 0));
    auto form = OpenMain();
    ModalBoxes boxes;
    bool checkedWhenOpened = !hotTrack;
    boxes.setDialogHandler([&](QDialog* dialog) {
        auto* check = Child<QCheckBox>(dialog, "CheckBoxHotTrack");
        checkedWhenOpened = check->isChecked();
        check->click();
        auto* combo = Child<QComboBox>(dialog, "ComboBoxFont");
        combo->setCurrentIndex(combo->count() - 1);
        Child<QSpinBox>(dialog, "UpDownVerticalMargin")->setValue(9);
        if (how == u"Annulla")
            Child<QPushButton>(dialog, "BitBtnAnnulla")->click();
        else if (how == u"Escape")
            QTest::keyClick(dialog, Qt::Key_Escape);
        else
            dialog->close();
    });
    OptionsCommand(*form);
    QCOMPARE(boxes.dialogsSeen(), 1);
    QCOMPARE(checkedWhenOpened, hotTrack);
    QCOMPARE(form->CalendarHotTrack(), hotTrack);
    QCOMPARE(form->PrintFont, u"Kilovento Nessun Font"_qs);
    QCOMPARE(form->PrintVerticalMargin, 4);
    QCOMPARE(form->PrintHorizontalMargin, 1);
}

void TestDialogs::marginSpinners_data()
{
    QTest::addColumn<QString>("spinner");
    QTest::addColumn<int>("start");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<int>("value");
    for (const QString& spinner : {u"UpDownVerticalMargin"_qs, u"UpDownHorizontalMargin"_qs}) {
        const QByteArray name = spinner.toUtf8();
        QTest::addRow("%s: no wrap past 10", name.constData()) << spinner << 10 << QList<int>{Qt::Key_Up} << 10;
        QTest::addRow("%s: no wrap below 0", name.constData()) << spinner << 0 << QList<int>{Qt::Key_Down} << 0;
        QTest::addRow("%s: page up stops at 10", name.constData())
            << spinner << 3 << QList<int>{Qt::Key_PageUp} << 10;
        QTest::addRow("%s: page down stops at 0", name.constData())
            << spinner << 3 << QList<int>{Qt::Key_PageDown} << 0;
        QTest::addRow("%s: typing is refused", name.constData())
            << spinner << 2 << QList<int>{Qt::Key_Backspace, Qt::Key_7} << 2;
    }
}

void TestDialogs::marginSpinners()
{
    QFETCH(QString, spinner);
    QFETCH(int, start);
    QFETCH(QList<int>, keys);
    QFETCH(int, value);
    Options current;
    current.printVerticalMargin = start;
    current.printHorizontalMargin = start;
    TFormOpzioni dialog(nullptr, current);
    auto* box = Child<QSpinBox>(&dialog, spinner);
    const QString editName = spinner == u"UpDownVerticalMargin" ? u"EditMargineVerticale"_qs
                                                                 : u"EditMargineOrizzontale"_qs;
    auto* edit = Child<QLineEdit>(box, editName);
    QCOMPARE(edit->text(), QString::number(start));
    for (int key : keys)
        QTest::keyClick(box, Qt::Key(key));
    QCOMPARE(box->value(), value);
    QCOMPARE(edit->text(), QString::number(value));
    Child<QPushButton>(&dialog, "BitBtnOK")->click();
    const Options& chosen = dialog.Values();
    QCOMPARE(spinner == u"UpDownVerticalMargin" ? chosen.printVerticalMargin : chosen.printHorizontalMargin, value);
}

// ---- About box

void TestDialogs::aboutTexts()
{
    TFormAbout about(nullptr, 1, 1, 0, 0);
    QCOMPARE(about.windowTitle(), u"Informazioni su Kilovento"_qs);
    const QList<std::pair<QString, QString>> texts = {
        {u"LabelProductName"_qs, u"Kilovento"_qs},
        {u"LabelProductNameShadow"_qs, u"Kilovento"_qs},
        {u"LabelProductDescription"_qs, StringTable::LoadStr(StringTable::ProductDescription)},
        {u"LabelCopyright"_qs, StringTable::LoadStr(StringTable::Copyright)},
        {u"LabelComments"_qs, StringTable::LoadStr(StringTable::Comments)},
        {u"LabelLabelCompanyWebAddress"_qs, u"Internet:"_qs},
        {u"LabelCompanyWebAddress"_qs, StringTable::LoadStr(StringTable::WebAddress)},
        {u"LabelLabelCompanyEMail"_qs, u"E-mail:"_qs},
        {u"LabelCompanyEMail"_qs, StringTable::LoadStr(StringTable::EMail)},
    };
    for (const auto& [name, text] : texts) {
        QVERIFY2(!text.isEmpty(), qPrintable(name));
        QCOMPARE(Child<QLabel>(&about, name)->text(), text);
    }
    for (const QString& link : {u"LabelCompanyWebAddress"_qs, u"LabelCompanyEMail"_qs})
        QCOMPARE(Child<QLabel>(&about, link)->toolTip(), Child<QLabel>(&about, link)->text());
    // The yellow name lies one pixel right of the black one, underneath it.
    auto* name = Child<QLabel>(&about, "LabelProductName");
    auto* shadow = Child<QLabel>(&about, "LabelProductNameShadow");
    QCOMPARE(shadow->pos(), name->pos() + QPoint(1, 0));
    QVERIFY(name->parentWidget()->children().indexOf(shadow) < name->parentWidget()->children().indexOf(name));

    // Nothing is clipped: every text fits inside the panel, the links clear their captions.
    auto* panel = Child<QWidget>(&about, "PanelAbout");
    QVERIFY(about.width() >= 433 && about.height() >= 248);
    for (QLabel* label : panel->findChildren<QLabel*>()) {
        const QRect inside = panel->contentsRect();
        QVERIFY2(inside.contains(label->geometry()), qPrintable(label->objectName()));
        if (label->wordWrap())
            QVERIFY2(label->heightForWidth(label->width()) <= label->height(), qPrintable(label->objectName()));
        else if (!label->text().isEmpty())
            QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->objectName()));
    }
    for (const auto& [caption, link] : {std::pair{u"LabelLabelCompanyWebAddress"_qs, u"LabelCompanyWebAddress"_qs},
                                        std::pair{u"LabelLabelCompanyEMail"_qs, u"LabelCompanyEMail"_qs}})
        QVERIFY(Child<QLabel>(&about, caption)->geometry().right() < Child<QLabel>(&about, link)->x());
    auto* ok = Child<QPushButton>(&about, "BitBtnOK");
    QVERIFY(ok->y() > panel->geometry().bottom() && ok->geometry().bottom() < about.height());
}

void TestDialogs::aboutOpensFromTheMenuWithTheBuildsVersion()
{
    auto form = OpenMain();
    ModalBoxes boxes;
    QString caption, version;
    boxes.setDialogHandler([&](QDialog* dialog) {
        caption = dialog->windowTitle();
        version = Child<QLabel>(dialog, "LabelVersion")->text();
        dialog->accept();
    });
    auto* item = Child<QAction>(form.get(), "MenuInformazioniSu");
    QCOMPARE(item->text(), u"&Informazioni su..."_qs);
    item->trigger();
    QCOMPARE(boxes.dialogsSeen(), 1);
    QCOMPARE(caption, u"Informazioni su Kilovento"_qs);
    QCOMPARE(version, u"Versione 1.1.0 (Build 0)"_qs);
}

void TestDialogs::aboutClosesWithEnterAndEscape_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
}

void TestDialogs::aboutClosesWithEnterAndEscape()
{
    QFETCH(int, key);
    TFormAbout about(nullptr, 1, 1, 0, 0);
    ModalBoxes boxes;
    boxes.setDialogHandler([key](QDialog* dialog) { QTest::keyClick(dialog, Qt::Key(key)); });
    QTimer failsafe;
    failsafe.setSingleShot(true);
    connect(&failsafe, &QTimer::timeout, &about, &QDialog::reject);
    failsafe.start(5000);
    QCOMPARE(about.exec(), int(QDialog::Accepted));
    QVERIFY(failsafe.isActive());
    QVERIFY(!about.isVisible());
}

void TestDialogs::aboutLinks_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("releaseInside");
    QTest::addColumn<QString>("target");
    QTest::newRow("e-mail") << u"LabelCompanyEMail"_qs << true << u"mailto:"_qs + StringTable::LoadStr(StringTable::EMail);
    QTest::newRow("web") << u"LabelCompanyWebAddress"_qs << true << StringTable::LoadStr(StringTable::WebAddress);
    QTest::newRow("e-mail, released outside") << u"LabelCompanyEMail"_qs << false << QString();
}

void TestDialogs::aboutLinks()
{
    QFETCH(QString, label);
    QFETCH(bool, releaseInside);
    QFETCH(QString, target);
    UrlRecorder recorder;
    for (const QString& scheme : {u"mailto"_qs, u"https"_qs, u"http"_qs})
        QDesktopServices::setUrlHandler(scheme, &recorder, "Open");
    {
        TFormAbout about(nullptr, 1, 1, 0, 0);
        auto* link = Child<QLabel>(&about, label);
        QTest::mousePress(link, Qt::LeftButton);
        QTest::mouseRelease(link, Qt::LeftButton, {}, releaseInside ? link->rect().center() : QPoint(-5, -5));
    }
    for (const QString& scheme : {u"mailto"_qs, u"https"_qs, u"http"_qs})
        QDesktopServices::unsetUrlHandler(scheme);

    QCOMPARE(recorder.opened.size(), target.isEmpty() ? 0 : 1);
    if (target.isEmpty())
        return;
    const QUrl url = recorder.opened.first();
    QCOMPARE(url.toString(), target);
    QVERIFY(!url.hasQuery() && !url.hasFragment());
}

void TestDialogs::logoDoubleClickOpensTheAboutBox_data()
{
    QTest::addColumn<QString>("clickOn");
    QTest::addColumn<bool>("doubleClick");
    QTest::addColumn<QString>("releaseOn");
    QTest::addColumn<int>("opened");
    QTest::newRow("double click on the logo") << u"logo"_qs << true << u"logo"_qs << 1;
    QTest::newRow("double click on the text panel") << u"text"_qs << true << u"text"_qs << 0;
    QTest::newRow("single click on the logo") << u"logo"_qs << false << u"logo"_qs << 0;
    QTest::newRow("double click on the logo, released on the text") << u"logo"_qs << true << u"text"_qs << 0;
}

void TestDialogs::logoDoubleClickOpensTheAboutBox()
{
    QFETCH(QString, clickOn);
    QFETCH(bool, doubleClick);
    QFETCH(QString, releaseOn);
    QFETCH(int, opened);
    auto form = OpenMain();
    auto* bar = Child<QStatusBar>(form.get(), "StatusBarMain");
    const QList<QLabel*> panels = bar->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
    QVERIFY(panels.size() >= 2);
    QCOMPARE(panels.first()->objectName(), u"ImageCompanyLogo"_qs);
    QCOMPARE(panels.at(1)->text(), u"Pronto."_qs);
    const auto at = [&](const QString& panel) { return (panel == u"logo" ? panels.first() : panels.at(1))->geometry().center(); };

    ModalBoxes boxes;
    QString caption;
    boxes.setDialogHandler([&](QDialog* dialog) {
        caption = dialog->windowTitle();
        dialog->accept();
    });
    // The events a window system delivers for a click and for a double click.
    QTest::mousePress(bar, Qt::LeftButton, {}, at(clickOn));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, at(clickOn));
    if (doubleClick) {
        QTest::mouseDClick(bar, Qt::LeftButton, {}, at(clickOn));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, at(releaseOn));
    }
    QCOMPARE(boxes.dialogsSeen(), opened);
    if (opened)
        QCOMPARE(caption, u"Informazioni su Kilovento"_qs);
    QVERIFY(!form->LogoDoubleClicked);
}

// ---- Splash screen

void TestDialogs::splashLooks()
{
    TFormSplash splash;
    QCOMPARE(splash.size(), QSize(336, 126));
    QVERIFY(splash.windowFlags().testFlag(Qt::FramelessWindowHint));
    const QImage image = splash.grab().toImage().scaled(splash.size());
    const QColor yellow(Qt::yellow);
    const QColor white(Qt::white);
    // A 2-pixel yellow frame round a white area.
    for (const QPoint& point : {QPoint(0, 0), QPoint(1, 1), QPoint(335, 125), QPoint(334, 124), QPoint(168, 0),
                                QPoint(0, 63), QPoint(1, 63)})
        QCOMPARE(image.pixelColor(point), yellow);
    for (const QPoint& point : {QPoint(2, 2), QPoint(333, 123), QPoint(168, 2), QPoint(2, 63), QPoint(333, 63)})
        QCOMPARE(image.pixelColor(point), white);

    const QList<std::pair<QString, QSize>> pictures = {
        {u"Image1"_qs, QSize(32, 32)}, {u"ImageCompanyLogo"_qs, QSize(48, 21)}, {u"ImageProductName"_qs, QSize(250, 58)}};
    for (const auto& [name, size] : pictures) {
        auto* picture = Child<QLabel>(&splash, name);
        QCOMPARE(picture->pixmap().deviceIndependentSize().toSize(), size);
        QVERIFY2(picture->geometry().right() < 332 && picture->geometry().bottom() < 122, qPrintable(name));
    }
    auto* label = Child<QLabel>(&splash, "LabelProductName");
    QCOMPARE(label->text(), u"Kilovento"_qs);
    QVERIFY(label->isHidden());
}

void TestDialogs::splashMinimumTime_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("constructionMs"); // how long the main window took, on the injected clock
    QTest::addColumn<bool>("shown");
    QTest::addColumn<int>("waitMs"); // what remains of the 3000 ms

    QTest::newRow("quick start waits out 3000 ms") << QStringList() << 2700 << true << 300;
    QTest::newRow("slow start goes at once") << QStringList() << 4500 << true << 0;
    QTest::newRow("start as long as the minimum") << QStringList() << 3000 << true << 0;
    QTest::newRow("/nosplash") << QStringList{u"/nosplash"_qs} << 0 << false << 0;
    QTest::newRow("-NOSPLASH among others") << QStringList{u"/MINIMIZE"_qs, u"-NOSPLASH"_qs} << 0 << false << 0;
    QTest::newRow("/NoSplash") << QStringList{u"/NoSplash"_qs} << 100 << false << 0;
    QTest::newRow("NOSPLASH without a prefix") << QStringList{u"NOSPLASH"_qs} << 2700 << true << 300;
    QTest::newRow("/NOSPLASH1") << QStringList{u"/NOSPLASH1"_qs} << 2700 << true << 300;
}

void TestDialogs::splashMinimumTime()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, constructionMs);
    QFETCH(bool, shown);
    QFETCH(int, waitMs);

    QElapsedTimer real;
    real.start();
    qint64 skipped = 0; // time the injected clock is ahead of the real one
    QList<qint64> readings;
    const SplashTime::Clock clock = [&] {
        readings.append(real.elapsed() + skipped);
        return readings.last();
    };
    StartupSplash splash(arguments, SplashTime(clock));
    QCOMPARE(splash.Form() != nullptr, shown);
    if (shown) {
        QVERIFY(splash.Form()->isVisible());
        QCOMPARE(readings.size(), 1); // started once painted
    }
    skipped = constructionMs;

    const qint64 before = real.elapsed();
    splash.Finish();
    const qint64 waited = real.elapsed() - before;
    QVERIFY(!splash.Form());
    for (QWidget* window : QApplication::topLevelWidgets())
        QVERIFY(window->objectName() != u"TFormSplash" || !window->isVisible());
    if (!shown) {
        QVERIFY(readings.isEmpty());
        QVERIFY2(waited < 200, qPrintable(QString::number(waited)));
        return;
    }
    // Up for at least 3000 ms on the clock, and not much longer.
    const qint64 upFor = real.elapsed() + skipped - readings.first();
    QVERIFY2(upFor >= 3000, qPrintable(QString::number(upFor)));
    QVERIFY2(waited >= waitMs - 50 && waited < waitMs + 250, qPrintable(QString::number(waited)));
}

void TestDialogs::splashKeepsPaintingWhileItWaits()
{
    QElapsedTimer real;
    real.start();
    const qint64 skipped = 2600; // 400 ms are left to wait
    StartupSplash splash({}, SplashTime([&] { return real.elapsed() + skipped; }));
    QVERIFY(real.elapsed() < 1000); // painted at once, not after the safety timeout
    TFormSplash* form = splash.Form();
    QVERIFY(form);
    PaintCounter paints;
    form->installEventFilter(&paints);
    // Something asks for a repaint while start-up waits, as an uncovered window does.
    QTimer::singleShot(100, form, [form] { form->update(); });
    const std::clock_t processor = std::clock();
    splash.Finish();
    const double busyMs = 1000.0 * double(std::clock() - processor) / CLOCKS_PER_SEC;
    QVERIFY2(paints.count >= 1, "the splash was not repainted while it waited");
    QVERIFY2(busyMs < 200, qPrintable(QString::number(busyMs)));
}

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
