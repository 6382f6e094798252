#include "app/Commands.h"

#include "app/Unitmain.h"
#include "forms/Unitabout.h"
#include "forms/Unitopzioni.h"

void OptionsCommand(TFormMain& form)
{
    try {
        Options current;
        current.calendarHotTrack = form.CalendarHotTrack();
        current.printFont = form.PrintFont;
        current.printVerticalMargin = form.PrintVerticalMargin;
        current.printHorizontalMargin = form.PrintHorizontalMargin;
        TFormOpzioni dialog(&form, current);
        if (dialog.exec() != QDialog::Accepted)
            return;
        // In effect at once: the calendar now, the printouts from the next one on.
        const Options& chosen = dialog.Values();
        form.SetCalendarHotTrack(chosen.calendarHotTrack);
        form.PrintFont = chosen.printFont;
        form.PrintVerticalMargin = chosen.printVerticalMargin;
        form.PrintHorizontalMargin = chosen.printHorizontalMargin;
    } catch (const std::exception&) {
        // A dialog that cannot open simply does not appear.
    }
}

void AboutCommand(TFormMain& form)
{
    try {
        TFormAbout dialog(&form, form.VersionMajor, form.VersionMinor, form.VersionRelease, form.VersionBuild);
        dialog.exec();
    } catch (const std::exception&) {
    }
}
