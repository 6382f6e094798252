#include "ModalBoxes.h"

#include <QPushButton>
#include <QApplication>
#include <QDialog>
#include <QTest>

ModalBoxes::ModalBoxes(QMessageBox::StandardButton answer)
    : m_answer(answer)
{
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &ModalBoxes::poll);
    m_timer.start();
}

void ModalBoxes::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box) {
        auto* dialog = qobject_cast<QDialog*>(modal);
        if (dialog && dialog->isVisible() && dialog != m_handled && m_dialogHandler) {
            m_handled = dialog;
            ++m_dialogsSeen;
            // Queued, so this poll has returned and can answer a box the handler opens.
            QMetaObject::invokeMethod(
                this, [this, dialog = QPointer<QDialog>(dialog)] {
                    if (dialog)
                        m_dialogHandler(dialog);
                },
                Qt::QueuedConnection);
        }
        return;
    }
    if (!box->isVisible())
        return;
    Seen seen;
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    seen.buttons = box->standardButtons();
    if (QPushButton* preset = box->defaultButton())
        seen.defaultButton = box->standardButton(preset);
    m_seen.append(seen);
    if (QAbstractButton* button = box->button(m_answer))
        button->click();
    else
        QTest::keyClick(box, Qt::Key_Return);
}
