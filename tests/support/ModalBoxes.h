#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class QDialog;

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
    // Called once for each other modal dialog that appears; it should close it.
    void setDialogHandler(std::function<void(QDialog*)> handler) { m_dialogHandler = std::move(handler); }
    int dialogsSeen() const { return m_dialogsSeen; }

private:
    void poll();

    QMessageBox::StandardButton m_answer;
    QList<Seen> m_seen;
    std::function<void(QDialog*)> m_dialogHandler;
    QPointer<QDialog> m_handled;
    int m_dialogsSeen = 0;
    QTimer m_timer;
};
