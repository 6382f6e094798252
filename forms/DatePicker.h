#pragma once

#include <QDate>
#include <QDateEdit>
#include <QList>
#include <QStringList>

#include <optional>

// A date picker that takes a typed date whole. The stock editor corrects each
// field against the others while they are typed, so 30 typed over February
// became 3 and 29/02 typed over a common year became 28/02. Here digits fill
// the day, month and year in turn and the date changes only when the fields
// together make a date the picker accepts; otherwise it goes back to the date
// it showed before the typing. Arrows, wheel and calendar work as before.
class DatePicker : public QDateEdit
{
public:
    explicit DatePicker(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
#if QT_CONFIG(wheelevent)
    void wheelEvent(QWheelEvent* event) override;
#endif
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    QValidator::State validate(QString& input, int& pos) const override;

private:
    // One numeric field of the display format.
    struct Field
    {
        QChar letter;      // 'd', 'M' or 'y'
        int digits = 0;    // shown at least
        int maximumDigits = 0;
        int maximum = 0;
        bool typed = false;
        QString text;      // what was typed into it
    };

    bool Typing() const;
    bool Begin();
    void TypeDigit(QChar digit);
    void LeaveField(int step);
    void Finish();
    void Restore();
    void End(const QDate& date, int field);
    void ShowDraft();
    QString FieldText(const Field& field) const;
    std::optional<QDate> DraftDate() const;

    QList<Field> m_fields;     // empty when nothing is being typed
    QStringList m_separators;  // before, between and after the fields
    int m_field = 0;
    QDate m_before;
    QString m_draft;
};
