#include "ModalBoxes.h"

#include <QPushButton>
#include <QApplication>
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
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
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
