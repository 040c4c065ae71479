#pragma once

#include <QString>

class QWidget;

namespace platform::ui {

// Plain message boxes with fixed texts. Tests put a recording one in place.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // A message with one OK button.
    virtual void inform(QWidget* parent, const QString& text);
    // An error report with the error's text.
    virtual void error(QWidget* parent, const QString& text);
    // A question with Yes and No; true for Yes.
    virtual bool confirm(QWidget* parent, const QString& title, const QString& text);
};

} // namespace platform::ui
