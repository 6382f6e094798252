#pragma once

#include "util/Exception.h"

// The message of the exception `work` throws, null for none; with
// `markDateErrors` that of a date that does not exist is led by "EConvertError: ".
template <typename Work>
QString ErrorOf(Work&& work, bool markDateErrors = false)
{
    try {
        work();
    } catch (const EConvertError& e) {
        return (markDateErrors ? QStringLiteral("EConvertError: ") : QString()) + e.Message();
    } catch (const Exception& e) {
        return e.Message();
    }
    return QString();
}
