#include "forms/RideInputValidators.h"

#include "data/RideEntry.h"

#include <QLineEdit>
#include <QLocale>

namespace {

bool IsAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

}

QValidator::State DigitsValidator::validate(QString& input, int&) const
{
    return std::all_of(input.cbegin(), input.cend(), IsAsciiDigit) ? Acceptable : Invalid;
}

QValidator::State DistanceValidator::validate(QString& input, int&) const
{
    const QString separator = locale().decimalPoint();
    if (input.count(separator) > 1)
        return Invalid;
    const QString digits = QString(input).remove(separator);
    return std::all_of(digits.cbegin(), digits.cend(), IsAsciiDigit) ? Acceptable : Invalid;
}

void FilterDescription(QLineEdit* field)
{
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
