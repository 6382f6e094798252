#include "util/Exception.h"

#include <QtGlobal>

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
