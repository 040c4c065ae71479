#include "quobex/settings/NumberEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>

namespace quobex {

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
}

void NumberEdit::normalize()
{
    const int bounded = boundedValue();
    if (lineEdit()->text() != QString::number(bounded))
        setValue(bounded);
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
