#include "forms/Unitsplash.h"

#include "forms/CenterOnScreen.h"
#include "forms/Pictures.h"
#include "util/Application.h"

#include <QEventLoop>
#include <QTimer>

TFormSplash::TFormSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setupUi(this);
    setFixedSize(size());
    // Not the application's title: a window system tool looking for the
    // program's windows by that name should find the main window and its boxes.
    setWindowTitle(ApplicationTitle + QStringLiteral(" (avvio)"));
    setAttribute(Qt::WA_ShowWithoutActivating);

    QPalette yellow = palette();
    yellow.setColor(QPalette::Window, QColor(0xFF, 0xFF, 0));
    setPalette(yellow);
    setAutoFillBackground(true);
    QPalette white = PanelMain->palette();
    white.setColor(QPalette::Window, Qt::white);
    PanelMain->setPalette(white);
    PanelMain->setAutoFillBackground(true);
    // The yellow shows as a 2-pixel frame round the white panel.
    PanelMain->setGeometry(2, 2, width() - 4, height() - 4);

    ShowPicture(Image1, QStringLiteral("kilovento"), Image1->size());
    ShowPicture(ImageCompanyLogo, QStringLiteral("logo"), ImageCompanyLogo->size());
    ShowPicture(ImageProductName, QStringLiteral("product-name"), ImageProductName->size());
    QFont name = LabelProductName->font();
    name.setPixelSize(32);
    LabelProductName->setFont(name);
    LabelProductName->setText(ApplicationTitle);
    LabelProductName->hide(); // the picture shows the name
}

void TFormSplash::ShowPainted(int timeoutMs)
{
    CenterOnScreen(this);
    show();
    QEventLoop loop;
    m_waitingForPaint = &loop;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (!m_painted)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    m_waitingForPaint = nullptr;
}

void TFormSplash::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    m_painted = true;
    // The loop ends after this whole paint has reached the screen.
    if (m_waitingForPaint)
        m_waitingForPaint->quit();
}
