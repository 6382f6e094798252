#include "forms/FormDialog.h"

#include <QDateEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace FormDialog {

QLabel* LabelFor(QWidget* control, const QString& text)
{
    auto* label = new QLabel(text, control->parentWidget());
    label->setBuddy(control);
    return label;
}

void ShowDays(QDateEdit* date)
{
    date->setCalendarPopup(true);
    date->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
}

QDialogButtonBox* Lay(QDialog* dialog, QFormLayout* form, int minimumWidth, QWidget* above)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("BitBtnOK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annulla"));
    auto* layout = new QVBoxLayout(dialog);
    if (above)
        layout->addWidget(above);
    layout->addLayout(form);
    layout->addWidget(buttons);
    dialog->setMinimumWidth(minimumWidth);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

}
