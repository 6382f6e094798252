#include "forms/MessageBoxes.h"

#include "util/Application.h"

namespace MessageBoxes {

QMessageBox::StandardButton Show(QWidget* owner, const QString& text, QMessageBox::Icon icon,
                                 QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, ApplicationTitle, QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                    buttons, owner);
    box.setTextFormat(Qt::PlainText);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QString WithException(const QString& sentence, const QString& exceptionMessage)
{
    return sentence + QStringLiteral("\r\n\r\nEccezione: ") + exceptionMessage;
}

}
