#include "app/Commands.h"

#include "app/Unitmain.h"
#include "forms/Unitabout.h"
#include "forms/Unitopzioni.h"

void OptionsCommand(TFormMain& form)
{
    try {
        TFormOpzioni dialog(&form, form.CurrentOptions());
        if (dialog.exec() == QDialog::Accepted)
            form.ApplyOptions(dialog.Values());
    } catch (const std::exception&) {
        // A dialog that cannot open simply does not appear.
    }
}

void AboutCommand(TFormMain& form)
{
    try {
        const auto [major, minor, release, build] = form.Version();
        TFormAbout dialog(&form, major, minor, release, build);
        dialog.exec();
    } catch (const std::exception&) {
    }
}
