#include "forms/MovePartDialog.h"

#include "forms/DatePicker.h"
#include "forms/FormDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>

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
    FormDialog::ShowDays(DateSpostamento);
    if (!part.fittings.isEmpty()) {
        const Bikes::Fitting& last = part.fittings.last();
        DateSpostamento->setMinimumDate(last.until.isValid() ? last.until : last.from);
    }
    DateSpostamento->setMaximumDate(std::max(today, DateSpostamento->minimumDate()));
    DateSpostamento->setDate(today);

    auto* form = new QFormLayout;
    form->addRow(FormDialog::LabelFor(ComboBoxBici, QStringLiteral("&Bici:")), ComboBoxBici);
    form->addRow(FormDialog::LabelFor(DateSpostamento, QStringLiteral("&Dal giorno:")), DateSpostamento);
    QDialogButtonBox* buttons =
        FormDialog::Lay(this, form, 320, new QLabel(QStringLiteral("Spostare \"%1\" su:").arg(part.name), this));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(ComboBoxBici->count() > 0);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
}

int MovePartDialog::Bike() const
{
    return ComboBoxBici->currentData().toInt();
}

QDate MovePartDialog::Day() const
{
    return DateSpostamento->date();
}
