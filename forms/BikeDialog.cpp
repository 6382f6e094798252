#include "forms/BikeDialog.h"

#include "forms/DatePicker.h"
#include "forms/FormDialog.h"
#include "forms/MessageBoxes.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QString NoNameText = QStringLiteral("ATTENZIONE: inserire il nome della bici.");
const QString SameNameText = QStringLiteral("ATTENZIONE: esiste già una bici di nome \"%1\".");
constexpr int MaxName = 100;

}

BikeDialog::BikeDialog(QWidget* owner, const Bikes::Garage& garage, const Bikes::Bike& bike, const QDate& today)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_garage(garage), m_bike(bike), EditNome(new QLineEdit(bike.name, this)),
      SpinKmIniziali(new QDoubleSpinBox(this)),
      CheckBoxAcquisto(new QCheckBox(QStringLiteral("&Acquistata il:"), this)),
      DateAcquisto(new DatePicker(this))
{
    setWindowTitle(bike.key == 0 ? QStringLiteral("Aggiungi bici") : QStringLiteral("Modifica bici"));
    EditNome->setObjectName(QStringLiteral("EditNome"));
    EditNome->setMaxLength(MaxName);
    SpinKmIniziali->setObjectName(QStringLiteral("SpinKmIniziali"));
    SpinKmIniziali->setRange(0, 9'999'999);
    SpinKmIniziali->setDecimals(1);
    SpinKmIniziali->setGroupSeparatorShown(true);
    SpinKmIniziali->setValue(bike.startKm);
    CheckBoxAcquisto->setObjectName(QStringLiteral("CheckBoxAcquisto"));
    CheckBoxAcquisto->setChecked(bike.bought.isValid());
    DateAcquisto->setObjectName(QStringLiteral("DateAcquisto"));
    FormDialog::ShowDays(DateAcquisto);
    DateAcquisto->setMaximumDate(today);
    DateAcquisto->setDate(bike.bought.isValid() ? bike.bought : today);
    DateAcquisto->setEnabled(bike.bought.isValid());

    auto* form = new QFormLayout;
    form->addRow(FormDialog::LabelFor(EditNome, QStringLiteral("&Nome:")), EditNome);
    form->addRow(FormDialog::LabelFor(SpinKmIniziali, QStringLiteral("&KM iniziali:")), SpinKmIniziali);
    form->addRow(CheckBoxAcquisto, DateAcquisto);
    QDialogButtonBox* buttons = FormDialog::Lay(this, form, 340);

    connect(CheckBoxAcquisto, &QCheckBox::toggled, DateAcquisto, &QWidget::setEnabled);
    connect(buttons, &QDialogButtonBox::accepted, this, &BikeDialog::BitBtnOKClick);
}

void BikeDialog::BitBtnOKClick()
{
    const QString name = EditNome->text().simplified();
    QString problem;
    if (name.isEmpty())
        problem = NoNameText;
    else if (const Bikes::Bike* other = m_garage.FindBike(name); other && other->key != m_bike.key)
        problem = SameNameText.arg(other->name);
    if (!problem.isEmpty()) {
        MessageBoxes::Show(this, problem, QMessageBox::Warning);
        EditNome->setFocus();
        return;
    }
    m_bike.name = name;
    m_bike.startKm = SpinKmIniziali->value();
    m_bike.bought = CheckBoxAcquisto->isChecked() ? DateAcquisto->date() : QDate();
    accept();
}
