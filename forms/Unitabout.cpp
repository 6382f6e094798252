#include "forms/Unitabout.h"

#include "forms/CenterOnScreen.h"
#include "forms/Pictures.h"
#include "util/AboutTexts.h"
#include "util/Application.h"
#include "util/StringTable.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QStyle>

namespace {

void SetLook(QLabel* label, int pixelSize, const QColor& colour = QColor(), bool underline = false)
{
    QFont font = label->font();
    if (pixelSize > 0)
        font.setPixelSize(pixelSize);
    font.setUnderline(underline);
    label->setFont(font);
    if (colour.isValid()) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, colour);
        label->setPalette(palette);
    }
}

// Where a one-line label's text stands: it is centred in the label's contents.
int Baseline(const QLabel* label)
{
    const QRect contents = label->contentsRect();
    const QFontMetrics metrics = label->fontMetrics();
    return label->y() + contents.top() + (contents.height() - metrics.height()) / 2 + metrics.ascent();
}

void MakeLink(QLabel* label, const QString& text)
{
    SetLook(label, 13, QColor(0, 0, 0xFF), true);
    label->setText(text);
    label->setToolTip(text);
    label->setCursor(Qt::PointingHandCursor);
}

}

TFormAbout::TFormAbout(QWidget* owner, quint16 major, quint16 minor, quint16 release, quint16 build)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setupUi(this);
    setFixedSize(size());
    ShowPicture(ImageProgramIcon, QStringLiteral("kilovento"), ImageProgramIcon->size());
    ShowPicture(ImageCompanyLogo, QStringLiteral("logo"), ImageCompanyLogo->size());
    BitBtnOK->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));

    setWindowTitle(QStringLiteral("Informazioni su ") + ApplicationTitle);
    SetLook(LabelProductName, 32);
    SetLook(LabelProductNameShadow, 32, QColor(0xFF, 0xFF, 0));
    LabelProductName->setText(ApplicationTitle);
    LabelProductNameShadow->setText(ApplicationTitle);
    SetLook(LabelProductDescription, 0, QColor(0, 0x80, 0x80));
    LabelProductDescription->setText(StringTable::LoadStr(StringTable::ProductDescription));
    SetLook(LabelVersion, 13);
    LabelVersion->setText(AboutTexts::VersionLine(major, minor, release, build));
    LabelCopyright->setText(StringTable::LoadStr(StringTable::Copyright));
    LabelComments->setText(StringTable::LoadStr(StringTable::Comments));
    SetLook(LabelLabelCompanyWebAddress, 13);
    SetLook(LabelLabelCompanyEMail, 13);
    MakeLink(LabelCompanyWebAddress, StringTable::LoadStr(StringTable::WebAddress));
    MakeLink(LabelCompanyEMail, StringTable::LoadStr(StringTable::EMail));

    // Every label but the notice is as large as its text, as drawn with the user's font.
    for (QLabel* label : PanelAbout->findChildren<QLabel*>())
        if (label != LabelComments && label->pixmap().isNull())
            label->adjustSize();
    LabelProductNameShadow->move(LabelProductName->x() + 1, LabelProductName->y());
    LabelProductNameShadow->stackUnder(LabelProductName);
    FitToText();

    for (QLabel* link : {LabelCompanyWebAddress, LabelCompanyEMail})
        link->installEventFilter(this);
    connect(BitBtnOK, &QPushButton::clicked, this, &QDialog::accept);
}

void TFormAbout::FitToText()
{
    // A link starts where its caption ends, however wide the caption is drawn.
    constexpr int Gap = 4;
    // The description ends the version's line: on its baseline, clear of its end.
    LabelProductDescription->move(
        std::max(LabelProductDescription->x(), LabelVersion->geometry().right() + 1 + 2 * Gap),
        LabelProductDescription->y() + Baseline(LabelVersion) - Baseline(LabelProductDescription));
    for (const auto& [caption, link] : {std::pair{LabelLabelCompanyWebAddress, LabelCompanyWebAddress},
                                        std::pair{LabelLabelCompanyEMail, LabelCompanyEMail}})
        link->move(std::max(link->x(), caption->geometry().right() + 1 + Gap), link->y());

    // With a font larger than the layout was drawn for, the box grows rather than clip a text.
    constexpr int Margin = 8;
    int right = 0;
    for (const QLabel* label : PanelAbout->findChildren<QLabel*>())
        right = std::max(right, label->geometry().right() + 1);
    const int wider = std::max(0, right + Margin - PanelAbout->width());
    const int taller =
        std::max(0, LabelComments->heightForWidth(LabelComments->width() + wider) - LabelComments->height());
    if (wider == 0 && taller == 0)
        return;
    LabelComments->resize(LabelComments->width() + wider, LabelComments->height() + taller);
    ImageCompanyLogo->move(ImageCompanyLogo->x(), ImageCompanyLogo->y() + taller);
    PanelAbout->resize(PanelAbout->width() + wider, PanelAbout->height() + taller);
    BitBtnOK->move(BitBtnOK->x() + wider, BitBtnOK->y() + taller);
    setFixedSize(width() + wider, height() + taller);
}

void TFormAbout::reject()
{
    accept();
}

void TFormAbout::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        CenterOnScreen(this);
    QDialog::showEvent(event);
}

bool TFormAbout::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const auto* label = static_cast<QLabel*>(watched);
        // A press that ends outside the label is no click.
        if (mouse->button() == Qt::LeftButton && label->rect().contains(mouse->position().toPoint())) {
            if (watched == LabelCompanyWebAddress)
                LabelCompanyWebAddressClick();
            else if (watched == LabelCompanyEMail)
                LabelCompanyEMailClick();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFormAbout::LabelCompanyWebAddressClick()
{
    // Nothing to report when no browser is registered.
    QDesktopServices::openUrl(AboutTexts::WebTarget());
}

void TFormAbout::LabelCompanyEMailClick()
{
    QDesktopServices::openUrl(AboutTexts::MailTarget());
}
