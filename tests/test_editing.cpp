#include "app/Unitmain.h"
#include "data/TZTConnection.h"
#include "forms/Unitedituscita.h"
#include "support/Controls.h"
#include "support/DatabaseHolder.h"
#include "support/ItalianLocale.h"
#include "support/MainWindow.h"
#include "support/ModalBoxes.h"
#include "support/MonthList.h"
#include "support/RideLogFile.h"
#include "support/TestDatabase.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

using MonthList::Count;
using MonthList::SelectRow;
using MonthList::SelectedRow;

namespace {

QLineEdit* Edit(QWidget* dialog, const char* name) { return Child<QLineEdit>(dialog, name); }

}

class TestEditing : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_path;

    std::unique_ptr<TFormMain> Open() { return MainWindow::Open(m_dir.path(), {u"/NOPROMPTONCLOSE"_qs}); }

    QString Stored(const QString& sql) { return TestDatabase::Scalar(m_path, sql); }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(u"kilovento.mdb"_qs);
        QCOMPARE(TestDatabase::CreateProgramFolder(m_dir.path()), QString());
    }

    void dialogShowsTheRide_data()
    {
        QTest::addColumn<bool>("modifica");
        QTest::addColumn<double>("tempo");
        QTest::addColumn<QStringList>("shown"); // day, type, km, h, m, s, description
        const double oneHourFive = 3900.0 / 86400.0;
        QTest::newRow("modify") << true << oneHourFive
                                << QStringList{u"6"_qs, u"3"_qs, u"42,5"_qs, u"1"_qs, u"5"_qs, u"0"_qs, u"Colline"_qs};
        QTest::newRow("modify without duration")
            << true << 0.0 << QStringList{u"6"_qs, u"3"_qs, u"42,5"_qs, QString(), QString(), QString(), u"Colline"_qs};
        QTest::newRow("add") << false << oneHourFive
                             << QStringList{u"6"_qs, u"0"_qs, QString(), QString(), QString(), QString(), QString()};
    }

    void dialogShowsTheRide()
    {
        QFETCH(bool, modifica);
        QFETCH(double, tempo);
        QFETCH(QStringList, shown);
        const auto log = OpenRideLog(m_path);
        TFormEditUscita dialog(nullptr, *log);
        dialog.Modifica = modifica;
        dialog.Anno = 2004;
        dialog.Mese = 2;
        dialog.Giorno = 6;
        dialog.Tipo = 3;
        dialog.Chilometri = 42.5;
        dialog.Tempo = TDateTime(tempo);
        dialog.TestoDescrizione = u"Colline"_qs;
        dialog.show();
        auto* day = Child<QComboBox>(&dialog, "ComboBoxGiorno");
        auto* type = Child<QComboBox>(&dialog, "ComboBoxTipo");
        QCOMPARE(day->count(), 29);
        QCOMPARE(day->isEnabled(), !modifica);
        QCOMPARE((QStringList{day->currentText(), QString::number(type->currentIndex()), Edit(&dialog, "EditKM")->text(),
                              Edit(&dialog, "EditOre")->text(), Edit(&dialog, "EditMinuti")->text(),
                              Edit(&dialog, "EditSecondi")->text(), Edit(&dialog, "EditDescrizione")->text()}),
                 shown);
        QCOMPARE(type->count(), TestDatabase::Scalar(m_path, u"SELECT count(*) FROM TipiUscita"_qs).toInt());

        if (!modifica) {
            // Typed and pasted characters a field may not hold are dropped; pasting is after the first character.
            for (const auto& [name, typed, pasted, kept] :
                 {std::tuple{"EditKM", u"1,2,3.4x"_qs, QString(), u"1,234"_qs},
                  {"EditKM", u"123456"_qs, QString(), u"12345"_qs}, // five characters at most
                  {"EditOre", u"1a-2"_qs, QString(), u"12"_qs},
                  {"EditOre", QString(), u"7h"_qs, QString()},
                  {"EditDescrizione", u"100% *top* d'estate!"_qs, QString(), u"100 top destate!"_qs},
                  {"EditDescrizione", u"ab"_qs, u"x'%*\ty"_qs, u"axyb"_qs}}) {
                QLineEdit* edit = Edit(&dialog, name);
                edit->clear();
                QTest::keyClicks(edit, typed);
                if (!pasted.isEmpty()) {
                    edit->setCursorPosition(1);
                    QGuiApplication::clipboard()->setText(pasted);
                    QTest::keySequence(edit, QKeySequence::Paste);
                }
                QCOMPARE(edit->text(), kept);
            }
            QCOMPARE(Edit(&dialog, "EditDescrizione")->cursorPosition(), 3);
            QCOMPARE(Edit(&dialog, "EditDescrizione")->maxLength(), 255);
        }

        // OK returns what is shown, the day included.
        Edit(&dialog, "EditKM")->setText(u"12,5"_qs);
        Child<QPushButton>(&dialog, "BitBtnOK")->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.Giorno, 6);
        QCOMPARE(dialog.Chilometri, 12.5);
    }

    void distanceTakesEitherSeparator_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("pasted"); // after what was typed
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("stored");
        QTest::newRow("point typed, Italian") << u"it_IT"_qs << u"42.5"_qs << QString() << u"42,5"_qs << u"42.5"_qs;
        QTest::newRow("comma typed, Italian") << u"it_IT"_qs << u"42,5"_qs << QString() << u"42,5"_qs << u"42.5"_qs;
        QTest::newRow("point pasted, Italian") << u"it_IT"_qs << u"1"_qs << u"2.75"_qs << u"12,75"_qs << u"12.75"_qs;
        QTest::newRow("second separator refused") << u"it_IT"_qs << u"4.2,5"_qs << QString() << u"4,25"_qs << u"4.25"_qs;
        QTest::newRow("comma typed, English") << u"en_US"_qs << u"42,5"_qs << QString() << u"42.5"_qs << u"42.5"_qs;
        QTest::newRow("comma pasted, English") << u"en_US"_qs << QString() << u"0,5"_qs << u"0.5"_qs << u"0.5"_qs;
    }

    void distanceTakesEitherSeparator()
    {
        QFETCH(QString, locale);
        QFETCH(QString, typed);
        QFETCH(QString, pasted);
        QFETCH(QString, shown);
        QFETCH(QString, stored);
        QLocale::setDefault(QLocale(locale));
        const auto restore = qScopeGuard(&UseItalianLocale);
        const auto form = Open();
        ModalBoxes boxes;
        boxes.setDialogHandler([&](QDialog* dialog) {
            QLineEdit* km = Edit(dialog, "EditKM");
            QTest::keyClicks(km, typed);
            if (!pasted.isEmpty()) {
                QGuiApplication::clipboard()->setText(pasted);
                QTest::keySequence(km, QKeySequence::Paste);
            }
            QCOMPARE(km->text(), shown);
            QTest::keyClick(dialog, Qt::Key_Return);
        });
        Run(form.get(), "MenuAggiungiUscita");
        QCOMPARE(boxes.seen().size(), 0);
        QCOMPARE(Stored(u"SELECT KM FROM Uscite"_qs), stored);
    }

    void forbiddenKeyOverASelectionChangesNothing_data()
    {
        QTest::addColumn<QChar>("key");
        for (const QChar key : QStringView(u"%*'"))
            QTest::newRow(qPrintable(QString(key))) << key;
    }

    void forbiddenKeyOverASelectionChangesNothing()
    {
        QFETCH(QChar, key);
        const auto log = OpenRideLog(m_path);
        TFormEditUscita dialog(nullptr, *log);
        dialog.show();
        QLineEdit* description = Edit(&dialog, "EditDescrizione");
        QTest::keyClicks(description, u"Giro del lago"_qs);
        description->setSelection(5, 3);
        QTest::keyClicks(description, QString(key));
        QCOMPARE((QStringList{description->text(), description->selectedText()}),
                 (QStringList{u"Giro del lago"_qs, u"del"_qs}));
        QTest::keyClicks(description, u"sul"_qs);
        QCOMPARE(description->text(), u"Giro sul lago"_qs);
        description->undo();
        QCOMPARE(description->text(), u"Giro del lago"_qs);
    }

    void modifyKeepsWhatWasNotTouched_data()
    {
        // A ride another program stored: more decimals than the field takes, a duration over a day.
        QTest::addColumn<QString>("field"); // the one the user changes
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored"); // KM|Durata|Descrizione
        QTest::newRow("description only") << u"EditDescrizione"_qs << u"!"_qs << u"12.345|25:30:00|Lago!"_qs;
        QTest::newRow("distance") << u"EditKM"_qs << u"\b9"_qs << u"12.349|25:30:00|Lago"_qs;
        QTest::newRow("duration") << u"EditOre"_qs << u"\b\b2"_qs << u"12.345|02:30:00|Lago"_qs;
    }

    void modifyKeepsWhatWasNotTouched()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QCOMPARE(TestDatabase::InsertRide(m_path, u"2005-03-02"_qs, 12.345, 1, u"Lago"_qs, u"25:30:00"_qs), QString());
        const auto form = Open();
        SelectRow(form.get(), 0);
        ModalBoxes boxes;
        boxes.setDialogHandler([&](QDialog* dialog) {
            QCOMPARE((QStringList{Edit(dialog, "EditKM")->text(), Edit(dialog, "EditOre")->text(),
                                  Edit(dialog, "EditMinuti")->text(), Edit(dialog, "EditSecondi")->text()}),
                     (QStringList{u"12,345"_qs, u"25"_qs, u"30"_qs, u"0"_qs}));
            QLineEdit* edit = Edit(dialog, qPrintable(field));
            edit->end(false);
            QTest::keyClicks(edit, typed);
            QTest::keyClick(dialog, Qt::Key_Return);
        });
        Run(form.get(), "MenuModificaUscita");
        QCOMPARE(boxes.dialogsSeen(), 1);
        QCOMPARE(boxes.seen().size(), 0);
        QCOMPARE(Stored(u"SELECT KM || '|' || Durata || '|' || Descrizione FROM Uscite"_qs), stored);
    }

    void addProposesTodayOrTheFirst_data()
    {
        QTest::addColumn<int>("month");
        QTest::addColumn<QString>("day");
        QTest::addColumn<QString>("caption");
        QTest::newRow("current month") << 3 << u"15"_qs << u"Aggiungi uscita a Marzo 2005"_qs;
        QTest::newRow("another month") << 1 << u"1"_qs << u"Aggiungi uscita a Gennaio 2005"_qs;
    }

    void addProposesTodayOrTheFirst()
    {
        QFETCH(int, month);
        QFETCH(QString, day);
        QFETCH(QString, caption);
        const auto form = Open();
        form->GoToMonth(month, 2005, false);
        ModalBoxes boxes;
        boxes.setDialogHandler([&](QDialog* dialog) {
            QCOMPARE(dialog->windowTitle(), caption);
            QCOMPARE(Child<QComboBox>(dialog, "ComboBoxGiorno")->currentText(), day);
            QTest::keyClicks(Edit(dialog, "EditKM"), u"42,5"_qs);
            QTest::keyClicks(Edit(dialog, "EditMinuti"), u"90"_qs); // refused first
            QTest::keyClick(dialog, Qt::Key_Return);
            QVERIFY(dialog->isVisible());
            QCOMPARE(dialog->focusWidget(), Edit(dialog, "EditOre"));
            Edit(dialog, "EditMinuti")->setText(u"30"_qs);
            QTest::keyClick(dialog, Qt::Key_Return);
        });
        Run(form.get(), "MenuAggiungiUscita");
        QCOMPARE(boxes.dialogsSeen(), 1);
        QCOMPARE(boxes.seen().size(), 1);
        QCOMPARE(boxes.seen().first().text, u"Campo durata non valido."_qs);
        QCOMPARE(boxes.seen().first().icon, QMessageBox::Warning);
        QCOMPARE(Stored(u"SELECT Data || ' ' || KM || ' ' || Durata FROM Uscite"_qs),
                 QStringLiteral("2005-%1-%2 42.5 00:30:00").arg(month, 2, 10, QChar(u'0')).arg(day.toInt(), 2, 10, QChar(u'0')));
        QCOMPARE(Count(form.get()), 1);
        QCOMPARE((QList<int>{form->ShownMonth(), form->ShownYear()}), (QList<int>{month, 2005}));
    }

    void cancelWritesNothingAndModifyKeepsTheRow()
    {
        QCOMPARE(TestDatabase::InsertRide(m_path, u"2005-03-01"_qs, 10, 0, u"primo"_qs), QString());
        QCOMPARE(TestDatabase::InsertRide(m_path, u"2005-03-05"_qs, 20, 2, u"secondo"_qs, u"01:05:00"_qs), QString());
        const auto form = Open();
        SelectRow(form.get(), 1);
        // Only a reload shows it.
        QCOMPARE(TestDatabase::InsertRide(m_path, u"2005-03-31"_qs, 30, 0, u"terzo"_qs), QString());
        ModalBoxes boxes;
        boxes.setDialogHandler([](QDialog* dialog) {
            Edit(dialog, "EditKM")->setText(u"99"_qs);
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        for (const char* command : {"MenuAggiungiUscita", "MenuModificaUscita"})
            Run(form.get(), command);
        QCOMPARE(boxes.dialogsSeen(), 2);
        QCOMPARE(Stored(u"SELECT group_concat(KM, ' ') FROM Uscite"_qs), u"10.0 20.0 30.0"_qs);
        QCOMPARE(Count(form.get()), 2);
        QCOMPARE(SelectedRow(form.get()), 1);

        boxes.setDialogHandler([](QDialog* dialog) {
            QCOMPARE(dialog->windowTitle(), u"Modifica uscita di Marzo 2005"_qs);
            QCOMPARE(Child<QComboBox>(dialog, "ComboBoxGiorno")->currentText(), u"5"_qs); // the selected ride
            Edit(dialog, "EditKM")->setText(u"55,5"_qs);
            Edit(dialog, "EditDescrizione")->setText(u"  cambiato  "_qs);
            QTest::keyClick(dialog, Qt::Key_Return);
        });
        MonthList::Rides(form.get())->doubleClicked(MonthList::Cell(form.get(), 1, 2));
        QCOMPARE(boxes.dialogsSeen(), 3);
        QCOMPARE(Stored(u"SELECT Data || '|' || IDTipoUscita || '|' || KM || '|' || Durata || '|' || Descrizione "
                        "FROM Uscite WHERE Data = '2005-03-05'"_qs),
                 u"2005-03-05|2|55.5|01:05:00|cambiato"_qs);
        QCOMPARE(Count(form.get()), 3);
        QCOMPARE(MonthList::Text(form.get(), 1, 3), u"55,5"_qs);
        QCOMPARE(SelectedRow(form.get()), 1);
    }

    void deleteAsksFirst_data()
    {
        QTest::addColumn<QStringList>("rides"); // on the 1st, 2nd... of March, of 10, 20... km
        QTest::addColumn<QString>("left");
        QTest::newRow("one of two") << QStringList{u"a"_qs, u"b"_qs} << u"b"_qs;
        QTest::newRow("the only ride") << QStringList{u"a"_qs} << QString();
    }

    void deleteAsksFirst()
    {
        QFETCH(QStringList, rides);
        QFETCH(QString, left);
        for (int day = 1; day <= rides.size(); ++day)
            QCOMPARE(TestDatabase::InsertRide(m_path, QStringLiteral("2005-03-%1").arg(day, 2, 10, QChar(u'0')),
                                              10.0 * day, 0, rides.at(day - 1)),
                     QString());
        const auto form = Open();
        SelectRow(form.get(), 0);
        ModalBoxes boxes(QMessageBox::No);
        Run(form.get(), "MenuEliminaUscita");
        QCOMPARE(boxes.seen().size(), 1);
        QCOMPARE(boxes.seen().first().text, u"Eliminare l'uscita selezionata?"_qs);
        QCOMPARE(boxes.seen().first().icon, QMessageBox::Question);
        QCOMPARE(boxes.seen().first().defaultButton, QMessageBox::No);
        QCOMPARE(Stored(u"SELECT count(*) FROM Uscite"_qs).toInt(), left.isEmpty() ? 1 : 2);

        boxes.setAnswer(QMessageBox::Yes);
        Child<QToolButton>(form.get(), "BitBtnEliminaUscita")->click();
        QCOMPARE(Stored(u"SELECT group_concat(Descrizione) FROM Uscite"_qs), left);
        QCOMPARE(Count(form.get()), left.isEmpty() ? 0 : 1);
        QCOMPARE(SelectedRow(form.get()), left.isEmpty() ? -1 : 0); // the same position again, if any
        QCOMPARE((QList<bool>{Child<QAction>(form.get(), "MenuEliminaUscita")->isEnabled(),
                              Child<QToolButton>(form.get(), "BitBtnModificaUscita")->isEnabled()}),
                 QList<bool>(2, !left.isEmpty()));
        QCOMPARE((QStringList{Child<QLabel>(form.get(), "LabelKM")->text(), Child<QLabel>(form.get(), "LabelKMU")->text()}),
                 (left.isEmpty() ? QStringList{u"0,0"_qs, u"n/d"_qs} : QStringList{u"20,0"_qs, u"20,00"_qs}));
    }

    void refusedWritesStoreNothing_data()
    {
        QTest::addColumn<QString>("refusal"); // the ride deleted by another program, or the database locked
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("dialogs");
        QTest::addColumn<int>("listed"); // rows after the command; -1 when the month cannot be read then
        QTest::newRow("modify of a deleted ride")
            << u"deleted before"_qs << u"ATTENZIONE: impossibile modificare l'uscita."_qs << 0 << 1; // no reload
        // The dialog holds nothing of the database: another program may write meanwhile.
        QTest::newRow("modify of a ride deleted while the dialog is open")
            << u"deleted during"_qs << u"ATTENZIONE: errore nella modifica dell'uscita."_qs << 1 << 0;
        QTest::newRow("add while locked") << u"locked"_qs << u"ATTENZIONE: errore nell'aggiunta dell'uscita."_qs << 1
                                          << -1;
    }

    void refusedWritesStoreNothing()
    {
        QFETCH(QString, refusal);
        QFETCH(QString, message);
        QFETCH(int, dialogs);
        QFETCH(int, listed);
        QCOMPARE(TestDatabase::InsertRide(m_path, u"2005-03-01"_qs, 10, 0, u"a"_qs), QString());
        TZTConnection* connection = nullptr;
        const auto form = MainWindow::Open(m_dir.path(), {u"/NOPROMPTONCLOSE"_qs}, &connection);
        connection->SetBusyTimeout(50);
        SelectRow(form.get(), 0);
        std::optional<DatabaseHolder::InProcess> holder;
        if (refusal == u"deleted before") {
            QCOMPARE(TestDatabase::Exec(m_path, u"DELETE FROM Uscite"_qs), QString());
        } else if (refusal == u"locked") {
            QVERIFY(holder.emplace(m_path, u"exclusive"_qs).Holds());
        }
        ModalBoxes boxes;
        QString deleteError; // checked once the dialog is closed
        boxes.setDialogHandler([&](QDialog* dialog) {
            if (refusal == u"deleted during")
                deleteError = TestDatabase::Exec(m_path, u"DELETE FROM Uscite"_qs);
            Edit(dialog, "EditKM")->setText(u"12"_qs);
            QTest::keyClick(dialog, Qt::Key_Return);
        });
        Run(form.get(), refusal == u"locked" ? "MenuAggiungiUscita" : "MenuModificaUscita");
        holder.reset();
        QCOMPARE(deleteError, QString());
        QCOMPARE(boxes.dialogsSeen(), dialogs);
        QVERIFY(!boxes.seen().isEmpty());
        const QString text = boxes.seen().first().text;
        const QString reason = refusal == u"locked" ? u"database in uso da un altro programma. "_qs : QString();
        QVERIFY2(text.startsWith(message + u"\n\nEccezione: "_qs + reason + u"ZTADO exception: TZTRecordset::"_qs),
                 qPrintable(text));
        QVERIFY(refusal != u"locked" || text.contains(u"database is locked"_qs));
        QCOMPARE(boxes.seen().first().icon, QMessageBox::Warning);
        QCOMPARE(Stored(u"SELECT count(*) FROM Uscite"_qs), refusal == u"locked" ? u"1"_qs : u"0"_qs);
        if (listed >= 0)
            QCOMPARE(Count(form.get()), listed);
    }
};

QTEST_MAIN(TestEditing)
#include "test_editing.moc"
