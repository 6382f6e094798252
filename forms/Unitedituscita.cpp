#include "forms/Unitedituscita.h"

#include "data/RideEntry.h"
#include "data/RideLog.h"
#include "forms/CenterOnScreen.h"
#include "forms/MessageBoxes.h"
#include "forms/RideInputValidators.h"
#include "forms/Styling.h"
#include "util/Exception.h"

#include <QShowEvent>
#include <QStyle>

TFormEditUscita::TFormEditUscita(QWidget* owner, RideLog& log)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_log(log)
{
    setupUi(this);
    FitToFont(this);
    setFixedSize(size());
    SetCaptionColour(GroupBoxDatiUscita, CaptionBlue());
    BitBtnOK->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    BitBtnAnnulla->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));

    EditKM->setValidator(new DistanceValidator(EditKM));
    TakeEitherSeparator(EditKM);
    for (QLineEdit* part : DurationFields())
        part->setValidator(new DigitsValidator(part));
    FilterDescription(EditDescrizione);

    connect(BitBtnOK, &QPushButton::clicked, this, &TFormEditUscita::BitBtnOKClick);
    connect(BitBtnAnnulla, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormEditUscita::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        FormShow();
        CenterOnScreen(this);
    }
    QDialog::showEvent(event);
}

std::array<QLineEdit*, 3> TFormEditUscita::DurationFields() const
{
    return {EditOre, EditMinuti, EditSecondi};
}

// The length limit is for typing: a stored value the program puts in shows whole.
void TFormEditUscita::ShowWhole(QLineEdit* field, const QString& text)
{
    field->setMaxLength(std::max(field->maxLength(), int(text.size())));
    field->setText(text);
}

void TFormEditUscita::FormShow()
{
    ComboBoxGiorno->clear();
    ComboBoxGiorno->addItems(RideValidation::DayList(Mese, Anno));
    ComboBoxGiorno->setCurrentIndex(Giorno - 1);

    ComboBoxTipo->clear();
    // Without its types the ride can still be looked at; OK then returns no type.
    Quietly("ride types not read", [this] { ComboBoxTipo->addItems(m_log.TypeNames()); });

    ComboBoxGiorno->setEnabled(!Modifica);
    if (Modifica) {
        ComboBoxTipo->setCurrentIndex(Tipo);
        m_shownKm = RideValidation::DistanceText(Chilometri);
        ShowWhole(EditKM, m_shownKm);
        m_shownDuration = RideValidation::DurationTexts(Tempo);
        for (int part = 0; part < 3; ++part)
            ShowWhole(DurationFields()[part], m_shownDuration[part]);
        EditDescrizione->setText(TestoDescrizione);
    } else {
        ComboBoxTipo->setCurrentIndex(ComboBoxTipo->count() > 0 ? 0 : -1);
        for (QLineEdit* field : {EditKM, EditOre, EditMinuti, EditSecondi, EditDescrizione})
            field->clear();
    }
}

void TFormEditUscita::BitBtnOKClick()
{
    RideValidation::Fields fields;
    fields.dayIndex = ComboBoxGiorno->currentIndex();
    fields.typeIndex = ComboBoxTipo->currentIndex();
    fields.km = EditKM->text();
    fields.hours = EditOre->text();
    fields.minutes = EditMinuti->text();
    fields.seconds = EditSecondi->text();
    fields.description = EditDescrizione->text();
    if (Modifica) {
        if (fields.km == m_shownKm)
            fields.keptKm = Chilometri;
        if (QStringList{fields.hours, fields.minutes, fields.seconds} == m_shownDuration)
            fields.keptDuration = Tempo;
    }
    const RideValidation::Result result = RideValidation::Validate(fields);
    if (result.fault) {
        MessageBoxes::Show(this, result.fault->message, QMessageBox::Warning);
        (result.fault->field == RideValidation::Fault::Field::Distance ? EditKM : EditOre)->setFocus();
        return;
    }
    SetEntry(result.entry);
    accept();
}

RideEntry TFormEditUscita::Entry() const
{
    return {Giorno, Tipo, Chilometri, Tempo, TestoDescrizione};
}

void TFormEditUscita::SetEntry(const RideEntry& entry)
{
    Giorno = entry.giorno;
    Tipo = entry.tipo;
    Chilometri = entry.chilometri;
    Tempo = entry.tempo;
    TestoDescrizione = entry.testoDescrizione;
}
