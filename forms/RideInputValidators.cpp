#include "forms/RideInputValidators.h"

#include "data/RideEntry.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>

namespace {

bool IsAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool IsSeparator(QChar c)
{
    return c == u'.' || c == u',';
}

// Swallows the key presses that would type '%', '*' or a quote. Control
// characters are let through: backspace and the shortcuts carry them.
class ForbiddenKeys : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const QString text = static_cast<QKeyEvent*>(event)->text();
            if (std::any_of(text.cbegin(), text.cend(), RideValidation::IsForbiddenCharacter))
                return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

}

QValidator::State DigitsValidator::validate(QString& input, int&) const
{
    return std::all_of(input.cbegin(), input.cend(), IsAsciiDigit) ? Acceptable : Invalid;
}

QValidator::State DistanceValidator::validate(QString& input, int&) const
{
    if (std::count_if(input.cbegin(), input.cend(), IsSeparator) > 1)
        return Invalid;
    return std::all_of(input.cbegin(), input.cend(), [](QChar c) { return IsAsciiDigit(c) || IsSeparator(c); })
               ? Acceptable
               : Invalid;
}

void TakeEitherSeparator(QLineEdit* field)
{
    QObject::connect(field, &QLineEdit::textEdited, field, [field](const QString& text) {
        const QString separator = field->locale().decimalPoint();
        const auto other = std::find_if(text.cbegin(), text.cend(),
                                        [&](QChar c) { return IsSeparator(c) && QString(c) != separator; });
        if (other == text.cend())
            return;
        const int cursor = field->cursorPosition();
        field->setSelection(int(other - text.cbegin()), 1);
        field->insert(separator);
        field->setCursorPosition(cursor);
    });
}

void FilterDescription(QLineEdit* field)
{
    field->installEventFilter(new ForbiddenKeys(field));
    QObject::connect(field, &QLineEdit::textEdited, field, [field](const QString& text) {
        const QString kept = RideValidation::RemoveForbidden(text);
        if (kept == text)
            return;
        // The cursor stays after the last character that was kept before it.
        const int cursor = int(RideValidation::RemoveForbidden(text.left(field->cursorPosition())).size());
        field->setText(kept);
        field->setCursorPosition(cursor);
    });
}
