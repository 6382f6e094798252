#include "forms/DatePicker.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>

#include <algorithm>

namespace {

QDateTimeEdit::Section SectionOf(QChar letter)
{
    return letter == u'd' ? QDateTimeEdit::DaySection
           : letter == u'M' ? QDateTimeEdit::MonthSection
                            : QDateTimeEdit::YearSection;
}

bool IsDigit(const QString& text)
{
    return text.size() == 1 && text[0] >= u'0' && text[0] <= u'9';
}

bool IsSeparator(const QString& text)
{
    return text.size() == 1 && text[0].isPrint() && !text[0].isLetterOrNumber();
}

}

DatePicker::DatePicker(QWidget* parent) : QDateEdit(parent)
{
    // A click in the text ends the typing before the editor moves its cursor.
    lineEdit()->installEventFilter(this);
}

bool DatePicker::Typing() const
{
    // A date set from outside replaces the draft, and the typing with it.
    return !m_fields.isEmpty() && lineEdit()->text() == m_draft;
}

// Reads the fields from the display format; only all-numeric day, month and
// four-digit year formats are typed here, anything else as the editor does.
bool DatePicker::Begin()
{
    QList<Field> fields;
    QStringList separators{QString()};
    const QString format = displayFormat();
    for (qsizetype i = 0; i < format.size();) {
        const QChar letter = format[i];
        qsizetype run = 1;
        while (i + run < format.size() && format[i + run] == letter)
            ++run;
        if (letter == u'y') {
            if (run != 4)
                return false;
            fields.append({letter, 4, 4, 9999, false, QString()});
            separators.append(QString());
        } else if (letter == u'd' || letter == u'M') {
            if (run > 2)
                return false;
            fields.append({letter, int(run), 2, letter == u'd' ? 31 : 12, false, QString()});
            separators.append(QString());
        } else if (letter.isLetter() || letter == u'\'') {
            return false;
        } else {
            separators.last() += QString(run, letter);
        }
        i += run;
    }
    QString letters;
    for (const Field& field : fields)
        letters += field.letter;
    std::sort(letters.begin(), letters.end());
    if (letters != u"Mdy")
        return false;

    m_fields = fields;
    m_separators = separators;
    m_before = date();
    const auto current = std::find_if(m_fields.cbegin(), m_fields.cend(), [this](const Field& field) {
        return SectionOf(field.letter) == currentSection();
    });
    m_field = current == m_fields.cend() ? 0 : int(current - m_fields.cbegin());
    return true;
}

void DatePicker::TypeDigit(QChar digit)
{
    Field& field = m_fields[m_field];
    if (!field.typed) {
        field.typed = true;
        field.text.clear();
    }
    field.text += digit;
    // Full, or no further digit could keep it in range (a day starting with 4).
    if (field.text.size() >= field.maximumDigits || field.text.toInt() * 10 > field.maximum)
        LeaveField(+1);
    else
        ShowDraft();
}

void DatePicker::LeaveField(int step)
{
    Field& field = m_fields[m_field];
    if (field.typed && field.text.isEmpty())
        field.typed = false;
    else if (field.typed)
        field.text = field.text.rightJustified(field.digits, u'0');
    const int next = m_field + step;
    if (next >= m_fields.size()) {
        Finish();
        return;
    }
    m_field = std::max(next, 0);
    ShowDraft();
}

void DatePicker::Finish()
{
    End(DraftDate().value_or(m_before), m_field);
}

void DatePicker::Restore()
{
    End(m_before, m_field);
}

void DatePicker::End(const QDate& date, int field)
{
    const Section section = SectionOf(m_fields[field].letter);
    m_fields.clear();
    m_draft.clear();
    setDate(date);
    // An unchanged date leaves the draft on screen; show the date again.
    const QString shown = textFromDateTime(dateTime());
    if (lineEdit()->text() != shown)
        lineEdit()->setText(shown);
    setCurrentSection(section);
    setSelectedSection(section);
}

QString DatePicker::FieldText(const Field& field) const
{
    if (field.typed)
        return field.text;
    const int value = field.letter == u'd' ? m_before.day() : field.letter == u'M' ? m_before.month() : m_before.year();
    return QString::number(value).rightJustified(field.digits, u'0');
}

void DatePicker::ShowDraft()
{
    QString text = m_separators.first();
    int start = 0;
    int length = 0;
    for (int i = 0; i < m_fields.size(); ++i) {
        const QString part = FieldText(m_fields[i]);
        if (i == m_field) {
            start = int(text.size());
            length = int(part.size());
        }
        text += part + m_separators[i + 1];
    }
    // The editor is kept out of it: it would correct the draft field by field.
    m_draft = text;
    const QSignalBlocker blocker(lineEdit());
    lineEdit()->setText(text);
    if (m_fields[m_field].typed)
        lineEdit()->setCursorPosition(start + length);
    else
        lineEdit()->setSelection(start, length);
}

QValidator::State DatePicker::validate(QString& input, int& pos) const
{
    // The draft is shown as typed; the stock check would correct it (3 to 03, 29/02 to 28/02).
    if (!m_fields.isEmpty() && input == m_draft)
        return QValidator::Intermediate;
    return QDateEdit::validate(input, pos);
}

std::optional<QDate> DatePicker::DraftDate() const
{
    int day = 0, month = 0, year = 0;
    for (const Field& field : m_fields) {
        const int value = FieldText(field).toInt();
        (field.letter == u'd' ? day : field.letter == u'M' ? month : year) = value;
    }
    const QDate typed(year, month, day);
    if (!typed.isValid() || typed < minimumDate() || typed > maximumDate())
        return std::nullopt;
    return typed;
}

void DatePicker::keyPressEvent(QKeyEvent* event)
{
    const QString text = event->text();
    const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (plain && IsDigit(text) && !isReadOnly() && (Typing() || Begin())) {
        TypeDigit(text[0]);
        event->accept();
        return;
    }
    if (Typing()) {
        Field& field = m_fields[m_field];
        switch (event->key()) {
        case Qt::Key_Right:
        case Qt::Key_Left:
            LeaveField(event->key() == Qt::Key_Right ? +1 : -1);
            event->accept();
            return;
        case Qt::Key_Backspace:
            if (field.typed && !field.text.isEmpty()) {
                field.text.chop(1);
                ShowDraft();
                event->accept();
                return;
            }
            Finish();
            break;
        case Qt::Key_Escape:
            // The first Escape drops the typing, a second one closes the window.
            Restore();
            event->accept();
            return;
        default:
            if (plain && IsSeparator(text)) {
                // A separator closes a field typed short, as in 5/6/2001.
                if (field.typed)
                    LeaveField(+1);
                event->accept();
                return;
            }
            Finish();
            break;
        }
    }
    QDateEdit::keyPressEvent(event);
}

bool DatePicker::focusNextPrevChild(bool next)
{
    if (Typing()) {
        const int target = m_field + (next ? 1 : -1);
        if (target >= 0 && target < m_fields.size()) {
            LeaveField(next ? +1 : -1);
            return true;
        }
        Finish();
    }
    return QDateEdit::focusNextPrevChild(next);
}

void DatePicker::focusOutEvent(QFocusEvent* event)
{
    if (Typing())
        Finish();
    QDateEdit::focusOutEvent(event);
}

void DatePicker::mousePressEvent(QMouseEvent* event)
{
    if (Typing())
        Finish();
    QDateEdit::mousePressEvent(event);
}

#if QT_CONFIG(wheelevent)
void DatePicker::wheelEvent(QWheelEvent* event)
{
    if (Typing())
        Finish();
    QDateEdit::wheelEvent(event);
}
#endif

bool DatePicker::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lineEdit() && Typing()
        && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick))
        Finish();
    return QDateEdit::eventFilter(watched, event);
}
