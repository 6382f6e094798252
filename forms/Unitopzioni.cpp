#include "forms/Unitopzioni.h"

#include "forms/CenterOnScreen.h"
#include "forms/Styling.h"
#include "util/FontChoices.h"

#include <QLineEdit>
#include <QShowEvent>
#include <QStyle>

namespace {

QLineEdit* ReadOnlyEditOf(QSpinBox* spinner, const QString& name)
{
    auto* edit = spinner->findChild<QLineEdit*>();
    edit->setObjectName(name);
    edit->setReadOnly(true);
    spinner->setGroupSeparatorShown(false);
    return edit;
}

}

TFormOpzioni::TFormOpzioni(QWidget* owner, const Options& current)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowCloseButtonHint),
      m_values(current)
{
    setupUi(this);
    FitToFont(this);
    setFixedSize(size());
    SetCaptionColour(GroupBoxCalendario, CaptionBlue());
    SetCaptionColour(GroupBoxStampe, CaptionBlue());
    SetCaptionColour(GroupBoxBackup, CaptionBlue());
    SetCaptionColour(GroupBoxStatistiche, CaptionBlue());
    BitBtnOK->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    BitBtnAnnulla->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    EditMargineVerticale = ReadOnlyEditOf(UpDownVerticalMargin, QStringLiteral("EditMargineVerticale"));
    EditMargineOrizzontale = ReadOnlyEditOf(UpDownHorizontalMargin, QStringLiteral("EditMargineOrizzontale"));

    CheckBoxHotTrack->setChecked(current.calendarHotTrack);
    const QStringList fonts = FontChoices::ForSystem(current.printFont);
    ComboBoxFont->addItems(fonts);
    ComboBoxFont->setCurrentIndex(FontChoices::IndexOf(fonts, current.printFont));
    ComboBoxFontChange();
    UpDownVerticalMargin->setValue(current.printVerticalMargin);
    UpDownHorizontalMargin->setValue(current.printHorizontalMargin);
    CheckBoxBackupAutomatico->setChecked(current.autoBackup);
    UpDownObiettivoAnnuo->setValue(current.yearGoal);
    setWindowTitle(QStringLiteral("Opzioni"));

    connect(ComboBoxFont, &QComboBox::currentIndexChanged, this, &TFormOpzioni::ComboBoxFontChange);
    connect(BitBtnOK, &QPushButton::clicked, this, &TFormOpzioni::BitBtnOKClick);
    connect(BitBtnAnnulla, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormOpzioni::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        CenterOnScreen(this);
    QDialog::showEvent(event);
}

void TFormOpzioni::ComboBoxFontChange()
{
    // The face changes; size and bold stay as designed.
    QFont preview = ComboBoxFont->font();
    preview.setFamilies({ComboBoxFont->currentText()});
    ComboBoxFont->setFont(preview);
}

void TFormOpzioni::BitBtnOKClick()
{
    m_values.calendarHotTrack = CheckBoxHotTrack->isChecked();
    m_values.printFont = ComboBoxFont->currentText();
    m_values.printVerticalMargin = UpDownVerticalMargin->value();
    m_values.printHorizontalMargin = UpDownHorizontalMargin->value();
    m_values.autoBackup = CheckBoxBackupAutomatico->isChecked();
    m_values.yearGoal = UpDownObiettivoAnnuo->value();
    accept();
}
