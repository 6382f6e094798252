#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QTimer>

// Answers every modal message box that appears while it lives, as a user
// would, and keeps what each box showed.
class ModalBoxes : public QObject
{
public:
    struct Seen
    {
        QString title;
        QString text; // line breaks as shown
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        QMessageBox::StandardButtons buttons;
    };

    // `answer` is clicked when the box has it; otherwise Enter is pressed.
    explicit ModalBoxes(QMessageBox::StandardButton answer = QMessageBox::Ok);

    const QList<Seen>& seen() const { return m_seen; }
    void setAnswer(QMessageBox::StandardButton answer) { m_answer = answer; }

private:
    void poll();

    QMessageBox::StandardButton m_answer;
    QList<Seen> m_seen;
    QTimer m_timer;
};
