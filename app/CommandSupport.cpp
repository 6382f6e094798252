#include "app/CommandSupport.h"

#include "app/CommandScreen.h"
#include "data/RideLog.h"
#include "forms/MessageBoxes.h"
#include "util/Exception.h"

#include <QCoreApplication>
#include <QtGlobal>

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

QString ReasonOf(const std::exception& failure)
{
    const auto* known = dynamic_cast<const Exception*>(&failure);
    return known ? known->Message() : QString::fromLocal8Bit(failure.what());
}

bool Quietly(const char* what, const std::function<void()>& work)
{
    try {
        work();
        return true;
    } catch (const std::exception& e) {
        const auto* known = dynamic_cast<const Exception*>(&e);
        qWarning("%s: %s", what, qUtf8Printable(known ? known->Detail() : QString::fromLocal8Bit(e.what())));
        return false;
    }
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
