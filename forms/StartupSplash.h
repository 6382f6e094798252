#pragma once

#include "util/SplashTime.h"

#include <QStringList>

#include <memory>

class TFormSplash;

// The splash screen as start-up uses it: shown and painted on construction
// unless the command line holds NOSPLASH, removed by Finish() once it has been
// up for the minimum time.
class StartupSplash
{
public:
    explicit StartupSplash(const QStringList& arguments, SplashTime time = SplashTime());
    ~StartupSplash();
    StartupSplash(const StartupSplash&) = delete;
    StartupSplash& operator=(const StartupSplash&) = delete;

    // Null with NOSPLASH and after Finish().
    TFormSplash* Form() const { return m_form.get(); }

    // Waits out the rest of the minimum time with events flowing, so the
    // splash keeps being painted and no processor time is burnt; then closes it.
    void Finish();

private:
    std::unique_ptr<TFormSplash> m_form;
    SplashTime m_time;
};
