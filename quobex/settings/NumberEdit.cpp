#include "quobex/settings/NumberEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionSpinBox>

#include <algorithm>

namespace quobex {

namespace {

// QLineEdit keeps this much room on each side of its text, and one pixel
// more for the cursor after the last digit.
constexpr int kLineEditMargin = 2;
constexpr int kCursorWidth = 1;

} // namespace

NumberEdit::NumberEdit(int minimum, int maximum, QWidget* parent)
    : QAbstractSpinBox(parent), m_min(minimum), m_max(maximum)
{
    lineEdit()->setMaxLength(9);
    setValue(minimum);
}

int NumberEdit::value() const
{
    bool ok = false;
    const int number = text().toInt(&ok);
    return ok ? number : m_min;
}

int NumberEdit::boundedValue() const
{
    return std::clamp(value(), m_min, m_max);
}

void NumberEdit::setValue(int value)
{
    lineEdit()->setText(QString::number(value));
    updateGeometry();
}

void NumberEdit::normalize()
{
    const int bounded = boundedValue();
    if (lineEdit()->text() != QString::number(bounded))
        setValue(bounded);
}

QSize NumberEdit::sizeHint() const
{
    ensurePolished();
    const QFontMetrics metrics = lineEdit()->fontMetrics();
    int textWidth = 0;
    for (const QString& shown : {QString::number(m_min), QString::number(m_max), lineEdit()->text()})
        textWidth = std::max(textWidth, metrics.horizontalAdvance(shown));
    // The line edit's own side margins, its text margins and the cursor.
    const QMargins margins = lineEdit()->textMargins();
    const int width = textWidth + 2 * kLineEditMargin + margins.left() + margins.right() + kCursorWidth;
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    return style()->sizeFromContents(QStyle::CT_SpinBox, &option, QSize(width, lineEdit()->sizeHint().height()), this);
}

QSize NumberEdit::minimumSizeHint() const
{
    return sizeHint();
}

void NumberEdit::stepBy(int steps)
{
    setValue(std::clamp(boundedValue() + steps, m_min, m_max));
}

QValidator::State NumberEdit::validate(QString& input, int&) const
{
    for (const QChar c : input) {
        if (!c.isDigit() || c.unicode() > 0x7F)
            return QValidator::Invalid;
    }
    return QValidator::Acceptable;
}

QAbstractSpinBox::StepEnabled NumberEdit::stepEnabled() const
{
    StepEnabled enabled = StepNone;
    if (boundedValue() < m_max)
        enabled |= StepUpEnabled;
    if (boundedValue() > m_min)
        enabled |= StepDownEnabled;
    return enabled;
}

void NumberEdit::keyPressEvent(QKeyEvent* event)
{
    const QString text = event->text();
    if (!text.isEmpty() && text.at(0).isPrint() && !(text.at(0).isDigit() && text.at(0).unicode() <= 0x7F)) {
        QApplication::beep();
        event->accept();
        return;
    }
    QAbstractSpinBox::keyPressEvent(event);
}

void NumberEdit::focusOutEvent(QFocusEvent* event)
{
    QAbstractSpinBox::focusOutEvent(event);
    normalize();
}

} // namespace quobex
