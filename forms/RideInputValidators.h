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

// Digits and at most one decimal separator. Both '.' and ',' are let in, so
// the keypad's point and a pasted "42.5" count; TakeEitherSeparator turns
// them into the locale's.
class DistanceValidator : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

// Replaces, as soon as it arrives, a '.' or ',' that is not the locale's
// decimal separator with the locale's, as an edit of the field (undo keeps working).
void TakeEitherSeparator(QLineEdit* field);

// Keeps the characters a description may not hold out of it: a typed one is
// discarded before it reaches the field, so the text, its selection and the
// undo history stay; pasted or dropped text loses them once it is in.
// (Not a validator: a validator must not rewrite its input, the line edit may
// still be holding the old text.)
void FilterDescription(QLineEdit* field);
