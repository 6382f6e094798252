#include "forms/StartupSplash.h"

#include "forms/Unitsplash.h"
#include "util/CommandLine.h"

#include <QEventLoop>
#include <QTimer>

StartupSplash::StartupSplash(const QStringList& arguments, SplashTime time)
    : m_time(std::move(time))
{
    if (FindCmdLineSwitch(arguments, QStringLiteral("NOSPLASH")))
        return;
    m_form = std::make_unique<TFormSplash>();
    m_form->ShowPainted();
    m_time.Start();
}

StartupSplash::~StartupSplash() = default;

void StartupSplash::Finish()
{
    if (!m_form)
        return;
    if (const qint64 remaining = m_time.RemainingMs(); remaining > 0) {
        QEventLoop loop;
        // A precise timer never fires early, so the minimum holds to the millisecond.
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(int(remaining));
        // The splash takes no input: the user's input is held back until it has gone.
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    m_form->hide();
    m_form->close();
    m_form.reset();
}
