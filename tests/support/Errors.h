#pragma once

#include "util/Exception.h"

#include <QString>

inline constexpr bool MarkDateErrors = true;

// The message of the exception `work` throws; a null string when it throws
// none. With MarkDateErrors an EConvertError (a date that does not exist) is
// led by "EConvertError: ", to tell it from the refusals of the database.
template <typename Work>
QString ErrorOf(Work&& work, bool markDateErrors = false)
{
    try {
        work();
    } catch (const EConvertError& e) {
        return markDateErrors ? QStringLiteral("EConvertError: ") + e.Message() : e.Message();
    } catch (const Exception& e) {
        return e.Message();
    }
    return QString();
}
