#pragma once

#include <QString>

#include <functional>
#include <stdexcept>

// How the program fails, everywhere: a function that cannot do its work
// throws Exception, and returns only what it made. There is no other way to
// fail: no flag or message beside a result, no state left on an object to be
// asked for afterwards, and no exception thrown to leave a loop.
//
// - Message(): what the rider reads after "Eccezione: ", the database
//   layer's "ZTADO exception: ..." text or the rider's words for a cause.
// - Detail(): what exactly went wrong, for tests and for whoever debugs it;
//   the message when nothing more is known.
// - Reason(): the few failures a caller handles differently from the rest.
//
// Only the command the rider started catches it (app/, and the dialogs' own
// buttons), where the message box is shown. On the way, a function catches
// it only to tell the same failure in its own words (the words it had kept
// as the detail, the reason kept or made more exact), or where a file that
// does not open is itself the answer asked for (which backups can be
// restored). Work whose failure the rider is not told of (a dialog that
// cannot open, a figure that cannot be read) runs through Quietly, the one
// place a failure is put aside, and not without a word on stderr.
//
// A fault in what the rider typed or in the rider's own file (a distance out
// of range, a bad CSV row, a damaged GPS file) is not a failure of the
// program: it is part of what the check or the reader returns, with its
// place (the field, the line).
class Exception : public std::runtime_error
{
public:
    enum class Why {
        Failed,     // anything else
        Refused,    // the database could not be had alone (another program holds it): nothing changed
        OtherShape, // a sound database file without the ride log's tables and columns
        Busy,       // another connection's lock outlasted the busy timeout
        Unwritable, // a value the log holds that the work cannot carry as it is (a ride of 30
                    // February): the message names the ride, and is shown without "Eccezione: "
    };

    explicit Exception(const QString& message, Why why = Why::Failed, const QString& detail = QString())
        : std::runtime_error(message.toStdString()), m_message(message), m_detail(detail), m_why(why)
    {
    }

    const QString& Message() const noexcept { return m_message; }
    const QString& Detail() const noexcept { return m_detail.isEmpty() ? m_message : m_detail; }
    Why Reason() const noexcept { return m_why; }

private:
    QString m_message;
    QString m_detail;
    Why m_why;
};

// A date or time that does not exist (31 April, 25:00:00).
class EConvertError : public Exception
{
public:
    using Exception::Exception;
};

// What the rider reads after "Eccezione: " for any failure: an Exception's
// message, or the text of one the program did not raise.
QString ReasonOf(const std::exception& failure);

// Runs `work`; a failure is written to stderr after `what`, and goes no
// further. Returns whether the work ran to its end.
bool Quietly(const char* what, const std::function<void()>& work);
