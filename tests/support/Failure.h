#pragma once

#include "util/Exception.h"

#include <QString>

#include <optional>

// How a piece of work that throws Exception ended, as a value a test compares.
struct Failure
{
    QString message;
    QString detail;
    Exception::Why why = Exception::Why::Failed;
};

// Nothing when the work was done.
template <class Work>
std::optional<Failure> FailureOf(Work&& work)
{
    try {
        work();
    } catch (const Exception& e) {
        return Failure{e.Message(), e.Detail(), e.Reason()};
    }
    return std::nullopt;
}

// The detail, for a check's message; empty when the work was done.
inline QString DetailOf(const std::optional<Failure>& failure)
{
    return failure ? failure->detail : QString();
}
