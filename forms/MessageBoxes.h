#pragma once

#include <QMessageBox>
#include <QString>

// Message boxes as the program shows them: the application title as caption,
// owned by the window that shows them. Texts keep their "\r\n" line breaks in
// the code; they are shown as plain line breaks.
namespace MessageBoxes {

QMessageBox::StandardButton Show(QWidget* owner, const QString& text, QMessageBox::Icon icon,
                                 QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                 QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// The command's sentence, a blank line, "Eccezione: " and the exception's message.
QString WithException(const QString& sentence, const QString& exceptionMessage);

}
