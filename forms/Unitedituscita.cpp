#include "forms/Unitedituscita.h"

#include "data/RideEntry.h"
#include "data/Sql.h"
#include "data/TZTRecordset.h"
#include "forms/CenterOnScreen.h"
#include "forms/MessageBoxes.h"
#include "forms/RideInputValidators.h"
#include "forms/Styling.h"
#include "util/Exception.h"

#include <QShowEvent>
#include <QStyle>

TFormEditUscita::TFormEditUscita(QWidget* owner, TZTConnection* connection)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      RecordsetTipi(std::make_unique<TZTRecordset>(connection))
{
    setupUi(this);
    FitToFont(this);
    setFixedSize(size());
    SetCaptionColour(GroupBoxDatiUscita, CaptionBlue());
    BitBtnOK->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    BitBtnAnnulla->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));

    EditKM->setValidator(new DistanceValidator(EditKM));
    for (QLineEdit* part : {EditOre, EditMinuti, EditSecondi})
        part->setValidator(new DigitsValidator(part));
    FilterDescription(EditDescrizione);

    connect(BitBtnOK, &QPushButton::clicked, this, &TFormEditUscita::BitBtnOKClick);
    connect(BitBtnAnnulla, &QPushButton::clicked, this, &QDialog::reject);
}

TFormEditUscita::~TFormEditUscita() = default;

void TFormEditUscita::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        FormShow();
        CenterOnScreen(this);
    }
    QDialog::showEvent(event);
}

void TFormEditUscita::FormShow()
{
    ComboBoxGiorno->clear();
    ComboBoxGiorno->addItems(RideValidation::DayList(Mese, Anno));
    ComboBoxGiorno->setCurrentIndex(Giorno - 1);

    ComboBoxTipo->clear();
    try {
        const RecordsetCloser closer(*RecordsetTipi);
        RecordsetTipi->Open(Sql::RideTypeNames());
        for (; !RecordsetTipi->Eof(); RecordsetTipi->MoveNext())
            ComboBoxTipo->addItem(RecordsetTipi->GetFieldAsString(QStringLiteral("Descrizione")));
    } catch (const Exception&) {
        // The box keeps the types read so far.
    }

    ComboBoxGiorno->setEnabled(!Modifica);
    if (Modifica) {
        ComboBoxTipo->setCurrentIndex(Tipo);
        EditKM->setText(RideValidation::DistanceText(Chilometri));
        if (Tempo.Val() == 0.0) {
            for (QLineEdit* part : {EditOre, EditMinuti, EditSecondi})
                part->clear();
        } else {
            int h = 0, m = 0, s = 0, ms = 0;
            Tempo.DecodeTime(h, m, s, ms);
            EditOre->setText(QString::number(h));
            EditMinuti->setText(QString::number(m));
            EditSecondi->setText(QString::number(s));
        }
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
    const RideValidation::Result result = RideValidation::Validate(fields);
    if (result.problem != RideValidation::Problem::None) {
        MessageBoxes::Show(this, result.message, QMessageBox::Warning);
        (result.problem == RideValidation::Problem::Distance ? EditKM : EditOre)->setFocus();
        return;
    }
    Giorno = result.entry.giorno;
    Tipo = result.entry.tipo;
    Chilometri = result.entry.chilometri;
    Tempo = result.entry.tempo;
    TestoDescrizione = result.entry.testoDescrizione;
    accept();
}
