#pragma once

#include "ui_Unitsplash.h"

#include <QWidget>

class QEventLoop;

// The splash screen of start-up: the program icon, the maker's logo and the
// product name on white, framed in yellow. It takes no input.
class TFormSplash : public QWidget, private Ui::TFormSplash
{
public:
    explicit TFormSplash(QWidget* parent = nullptr);

    // Shows the splash centred and returns once it is on the screen, or after
    // `timeoutMs` where the window system never asks for it to be painted.
    void ShowPainted(int timeoutMs = 1000);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QEventLoop* m_waitingForPaint = nullptr;
    bool m_painted = false;
};
