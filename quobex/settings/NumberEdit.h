#pragma once

#include <QAbstractSpinBox>

namespace quobex {

// A whole-number field: only digit keys are taken (another character key
// is refused with a beep), the arrows step by 1 within the range, and a
// typed value is brought into the range when the field loses the focus.
class NumberEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    NumberEdit(int minimum, int maximum, QWidget* parent = nullptr);

    int minimum() const { return m_min; }
    int maximum() const { return m_max; }
    // The field's text as a number; an empty or non-numeric text gives the
    // lower bound.
    int value() const;
    // value() brought into the range.
    int boundedValue() const;
    void setValue(int value);
    // Brings the text into the range now.
    void normalize();

    void stepBy(int steps) override;
    // Wide enough for the widest value of the range in the field's own
    // font, whatever size the desktop uses: QAbstractSpinBox itself knows no
    // values and would size the field for an empty text.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    QValidator::State validate(QString& input, int& pos) const override;

protected:
    StepEnabled stepEnabled() const override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int m_min;
    int m_max;
};

} // namespace quobex
