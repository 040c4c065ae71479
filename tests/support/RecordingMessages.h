#pragma once

#include "platform/ui/MessageBoxes.h"

#include <QStringList>

#include <functional>

namespace testsupport {

// Records message boxes instead of showing them; questions get `answer`.
class RecordingMessages : public platform::ui::MessageBoxes {
public:
    void inform(QWidget*, const QString& text) override { informed.append(text); }
    void error(QWidget*, const QString& text) override { errors.append(text); }
    bool confirm(QWidget*, const QString& title, const QString& text) override
    {
        questions.append(title + QLatin1Char('|') + text);
        if (whileAsking)
            whileAsking();
        return answer;
    }

    QStringList informed;
    QStringList errors;
    QStringList questions;
    bool answer = false;
    // Runs while a question is open, as events the user's answer waits for.
    std::function<void()> whileAsking;
};

} // namespace testsupport
