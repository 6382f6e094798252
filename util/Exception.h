#pragma once

#include <QString>
#include <stdexcept>

// The one exception type the program raises and catches; commands show Message().
class Exception : public std::runtime_error
{
public:
    explicit Exception(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}

    const QString& Message() const noexcept { return m_message; }

private:
    QString m_message;
};

// A date or time that does not exist (31 April, 25:00:00).
class EConvertError : public Exception
{
public:
    using Exception::Exception;
};
