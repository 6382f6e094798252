#include "util/Exception.h"

#include <QtGlobal>

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
