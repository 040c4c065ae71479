#pragma once

#include "platform/ui/Tray.h"

#include <QStringList>

namespace testsupport {

// A tray that records what the program tells it and shows nothing on the
// desktop. Showing and hiding the application still act on the window.
class RecordingTray : public platform::ui::Tray {
    Q_OBJECT
public:
    struct Balloon {
        QString title;
        QString text;
        int timeHintMs;
    };

    explicit RecordingTray(bool available = true) : m_available(available) {}

    void activate() override { ++activations; }
    void setImageIndex(int index) override
    {
        m_imageIndex = index;
        images.append(index);
    }
    void showBalloon(const QString& title, const QString& text, int timeHintMs) override
    {
        balloons.append({title, text, timeHintMs});
    }
    void beep() override { ++beeps; }
    void setToolTip(const QString& text) override
    {
        Tray::setToolTip(text);
        toolTips.append(text);
    }
    bool isAvailable() const override { return m_available; }

    int activations = 0;
    int beeps = 0;
    QList<int> images;
    QList<Balloon> balloons;
    QStringList toolTips;

private:
    bool m_available;
};

} // namespace testsupport
