#include "forms/MovePartDialog.h"

#include "forms/DatePicker.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

const QString MovePartDialog::NoBikeText = QStringLiteral("nessuna (messo da parte)");

MovePartDialog::MovePartDialog(QWidget* owner, const Bikes::Garage& garage, const Bikes::Part& part,
                               const QDate& today)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      ComboBoxBici(new QComboBox(this)), DateSpostamento(new DatePicker(this))
{
    setWindowTitle(QStringLiteral("Sposta componente"));
    const int current = part.Bike();
    ComboBoxBici->setObjectName(QStringLiteral("ComboBoxBici"));
    for (const Bikes::Bike& bike : garage.bikes)
        if (!bike.retired && bike.key != current)
            ComboBoxBici->addItem(bike.name, bike.key);
    if (current != 0)
        ComboBoxBici->addItem(NoBikeText, 0);

    DateSpostamento->setObjectName(QStringLiteral("DateSpostamento"));
    DateSpostamento->setCalendarPopup(true);
    DateSpostamento->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    if (!part.fittings.isEmpty()) {
        const Bikes::Fitting& last = part.fittings.last();
        DateSpostamento->setMinimumDate(last.until.isValid() ? last.until : last.from);
    }
    DateSpostamento->setMaximumDate(std::max(today, DateSpostamento->minimumDate()));
    DateSpostamento->setDate(today);

    auto* form = new QFormLayout;
    auto* bike = new QLabel(QStringLiteral("&Bici:"), this);
    bike->setBuddy(ComboBoxBici);
    form->addRow(bike, ComboBoxBici);
    auto* day = new QLabel(QStringLiteral("&Dal giorno:"), this);
    day->setBuddy(DateSpostamento);
    form->addRow(day, DateSpostamento);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("BitBtnOK"));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(ComboBoxBici->count() > 0);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annulla"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Spostare \"%1\" su:").arg(part.name), this));
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(320);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

int MovePartDialog::Bike() const
{
    return ComboBoxBici->currentData().toInt();
}

QDate MovePartDialog::Day() const
{
    return DateSpostamento->date();
}
