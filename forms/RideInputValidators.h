#pragma once

#include <QValidator>

class QLineEdit;

// The ride dialog's key filters, applied to pasted text as well as typed text.

// Digits only: the parts of a duration.
class DigitsValidator : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

// Digits and at most one decimal separator of the locale: a distance.
class DistanceValidator : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

// Drops the characters a description may not hold as soon as they arrive.
// (Not a validator: a validator must not rewrite its input, the line edit may
// still be holding the old text.)
void FilterDescription(QLineEdit* field);
