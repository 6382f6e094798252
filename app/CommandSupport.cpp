#include "app/CommandSupport.h"

#include "app/CommandScreen.h"
#include "data/RideLog.h"
#include "forms/MessageBoxes.h"
#include "util/Exception.h"

#include <QCoreApplication>

#include <optional>

bool Confirmed(CommandScreen& screen, const QString& question, QMessageBox::StandardButton defaultButton)
{
    const bool yes = MessageBoxes::Show(screen.Window(), question, QMessageBox::Question,
                                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, defaultButton)
                     == QMessageBox::Yes;
    // No input is taken meanwhile.
    if (yes)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return yes;
}

void OpenAsAtStartup(RideLog& log, CommandScreen& screen)
{
    if (log.IsOpen())
        return;
    std::optional<QString> failure;
    try {
        log.Open();
    } catch (const Exception& e) {
        failure = e.Message();
    }
    screen.LogOpened(failure);
}
