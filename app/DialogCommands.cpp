#include "app/Commands.h"

#include "app/CommandScreen.h"
#include "app/CommandSupport.h"
#include "util/Exception.h"
#include "forms/Unitabout.h"
#include "forms/Unitopzioni.h"

void OptionsCommand(CommandScreen& screen)
{
    Quietly("options dialog", [&screen] {
        TFormOpzioni dialog(screen.Window(), screen.CurrentOptions());
        if (dialog.exec() == QDialog::Accepted)
            screen.ApplyOptions(dialog.Values());
    });
}

void AboutCommand(CommandScreen& screen)
{
    Quietly("about box", [&screen] {
        const auto [major, minor, release, build] = screen.Version();
        TFormAbout dialog(screen.Window(), major, minor, release, build);
        dialog.exec();
    });
}
