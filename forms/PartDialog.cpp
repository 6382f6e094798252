#include "forms/PartDialog.h"

#include "forms/DatePicker.h"
#include "forms/FormDialog.h"
#include "forms/MessageBoxes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

const QStringList PartDialog::UsualNames = {QStringLiteral("catena"), QStringLiteral("copertone anteriore"),
                                            QStringLiteral("copertone posteriore"), QStringLiteral("pacco pignoni"),
                                            QStringLiteral("pastiglie")};

namespace {

const QString NoNameText = QStringLiteral("ATTENZIONE: inserire il nome del componente.");
constexpr int MaxName = 100;
constexpr int MaxNotes = 255;

}

PartDialog::PartDialog(QWidget* owner, const Bikes::Part& part, const Bikes::Fitting& fitting, double bikeKm,
                       const QDate& today)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_part(part), m_fitting(fitting), ComboBoxNome(new QComboBox(this)), DateMontaggio(new DatePicker(this)),
      CheckBoxKmMontaggio(new QCheckBox(QStringLiteral("&A km della bici:"), this)),
      SpinKmMontaggio(new QDoubleSpinBox(this)), CheckBoxLimiteKm(new QCheckBox(QStringLiteral("Limite &km:"), this)),
      SpinLimiteKm(new QSpinBox(this)), CheckBoxLimiteMesi(new QCheckBox(QStringLiteral("Limite in &mesi:"), this)),
      SpinLimiteMesi(new QSpinBox(this)), EditNote(new QLineEdit(part.notes, this))
{
    const bool adding = part.key == 0;
    setWindowTitle(adding ? QStringLiteral("Aggiungi componente") : QStringLiteral("Modifica componente"));
    ComboBoxNome->setObjectName(QStringLiteral("ComboBoxNome"));
    ComboBoxNome->setEditable(true);
    ComboBoxNome->setInsertPolicy(QComboBox::NoInsert);
    ComboBoxNome->addItems(UsualNames);
    ComboBoxNome->lineEdit()->setMaxLength(MaxName);
    ComboBoxNome->setCurrentText(part.name);

    DateMontaggio->setObjectName(QStringLiteral("DateMontaggio"));
    FormDialog::ShowDays(DateMontaggio);
    DateMontaggio->setMaximumDate(today);
    DateMontaggio->setDate(fitting.from.isValid() ? fitting.from : today);
    CheckBoxKmMontaggio->setObjectName(QStringLiteral("CheckBoxKmMontaggio"));
    CheckBoxKmMontaggio->setChecked(fitting.atBikeKm.has_value());
    SpinKmMontaggio->setObjectName(QStringLiteral("SpinKmMontaggio"));
    SpinKmMontaggio->setRange(0, 9'999'999);
    SpinKmMontaggio->setDecimals(0);
    SpinKmMontaggio->setGroupSeparatorShown(true);
    SpinKmMontaggio->setValue(fitting.atBikeKm.value_or(bikeKm));
    // A part on no bike has no km to be fitted at.
    CheckBoxKmMontaggio->setEnabled(adding && fitting.bike != 0);
    SpinKmMontaggio->setEnabled(adding && fitting.atBikeKm.has_value());
    DateMontaggio->setEnabled(adding);

    CheckBoxLimiteKm->setObjectName(QStringLiteral("CheckBoxLimiteKm"));
    CheckBoxLimiteKm->setChecked(part.limitKm.has_value());
    SpinLimiteKm->setObjectName(QStringLiteral("SpinLimiteKm"));
    SpinLimiteKm->setRange(1, 999'999);
    SpinLimiteKm->setSingleStep(100);
    SpinLimiteKm->setGroupSeparatorShown(true);
    SpinLimiteKm->setValue(part.limitKm ? qRound(*part.limitKm) : 5000);
    SpinLimiteKm->setEnabled(part.limitKm.has_value());
    CheckBoxLimiteMesi->setObjectName(QStringLiteral("CheckBoxLimiteMesi"));
    CheckBoxLimiteMesi->setChecked(part.limitMonths.has_value());
    SpinLimiteMesi->setObjectName(QStringLiteral("SpinLimiteMesi"));
    SpinLimiteMesi->setRange(1, 240);
    SpinLimiteMesi->setValue(part.limitMonths.value_or(12));
    SpinLimiteMesi->setEnabled(part.limitMonths.has_value());
    EditNote->setObjectName(QStringLiteral("EditNote"));
    EditNote->setMaxLength(MaxNotes);

    auto* form = new QFormLayout;
    using FormDialog::LabelFor;
    form->addRow(LabelFor(ComboBoxNome, QStringLiteral("&Nome:")), ComboBoxNome);
    form->addRow(LabelFor(DateMontaggio, QStringLiteral("Montato i&l:")), DateMontaggio);
    form->addRow(CheckBoxKmMontaggio, SpinKmMontaggio);
    form->addRow(CheckBoxLimiteKm, SpinLimiteKm);
    form->addRow(CheckBoxLimiteMesi, SpinLimiteMesi);
    form->addRow(LabelFor(EditNote, QStringLiteral("N&ote:")), EditNote);
    QDialogButtonBox* buttons = FormDialog::Lay(this, form, 380);

    connect(CheckBoxKmMontaggio, &QCheckBox::toggled, SpinKmMontaggio, &QWidget::setEnabled);
    connect(CheckBoxLimiteKm, &QCheckBox::toggled, SpinLimiteKm, &QWidget::setEnabled);
    connect(CheckBoxLimiteMesi, &QCheckBox::toggled, SpinLimiteMesi, &QWidget::setEnabled);
    connect(buttons, &QDialogButtonBox::accepted, this, &PartDialog::BitBtnOKClick);
}

void PartDialog::BitBtnOKClick()
{
    const QString name = ComboBoxNome->currentText().simplified();
    if (name.isEmpty()) {
        MessageBoxes::Show(this, NoNameText, QMessageBox::Warning);
        ComboBoxNome->setFocus();
        return;
    }
    m_part.name = name;
    m_part.limitKm = CheckBoxLimiteKm->isChecked() ? std::optional<double>(SpinLimiteKm->value()) : std::nullopt;
    m_part.limitMonths = CheckBoxLimiteMesi->isChecked() ? std::optional<int>(SpinLimiteMesi->value()) : std::nullopt;
    m_part.notes = EditNote->text().trimmed();
    if (m_part.key == 0) {
        m_fitting.from = DateMontaggio->date();
        m_fitting.atBikeKm = CheckBoxKmMontaggio->isChecked() ? std::optional<double>(SpinKmMontaggio->value())
                                                              : std::nullopt;
    }
    accept();
}
