#include "app/Commands.h"

#include "app/CommandScreen.h"
#include "data/RideLog.h"
#include "forms/MessageBoxes.h"
#include "forms/UnitBici.h"
#include "forms/WaitCursor.h"
#include "util/Application.h"
#include "util/Exception.h"

#include <optional>

namespace {

const QString ReadingText = QStringLiteral("Lettura delle bici...");

}

void BikesCommand(RideLog& log, CommandScreen& screen)
{
    QWidget* const owner = screen.Window();
    std::optional<TFormBici> window;
    try {
        const WaitCursor wait;
        screen.SetStatusText(ReadingText);
        window.emplace(owner, log.Bikes(), log.Types(), screen.Today());
    } catch (const std::exception& e) {
        screen.SetStatusText(ReadyStatusText);
        MessageBoxes::Show(owner, MessageBoxes::WithException(TFormBici::ReadFailedText, ReasonOf(e)),
                           QMessageBox::Warning);
        return;
    }
    screen.SetStatusText(ReadyStatusText);
    window->exec();
}
