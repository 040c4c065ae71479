#pragma once

#include <QIcon>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

class QSystemTrayIcon;

namespace platform::ui {

// The program's notification-area icon: one image of a two-image list, a
// menu, balloons, the message sound, and showing or hiding the application
// with its window. The desktop calls are virtual so tests can record them.
class Tray : public QObject {
    Q_OBJECT
public:
    explicit Tray(QObject* parent = nullptr);
    ~Tray() override;

    void setWindow(QWidget* window) { m_window = window; }
    void setImages(const QList<QIcon>& images) { m_images = images; }
    void setMenu(QMenu* menu);

    // Shows the icon with its current image.
    virtual void activate();
    virtual void setImageIndex(int index);
    int imageIndex() const { return m_imageIndex; }
    virtual void showBalloon(const QString& title, const QString& text, int timeHintMs);
    virtual void beep();
    // The text shown when the pointer rests on the icon; the program's name
    // until one is set.
    virtual void setToolTip(const QString& text);
    QString toolTip() const { return m_toolTip; }
    // Whether the desktop has a notification area to hide into.
    virtual bool isAvailable() const;

    // The window comes back from the tray: taskbar button, restored, visible, in front.
    void showApplication();
    // The window goes into the tray, or is minimised where there is no tray.
    void hideApplication();
    // The application comes to the front.
    void bringToFront();

Q_SIGNALS:
    void doubleClicked();

protected:
    QList<QIcon> m_images;
    int m_imageIndex = 0;
    QString m_toolTip;

private:
    QSystemTrayIcon* icon();

    QPointer<QWidget> m_window;
    QPointer<QMenu> m_menu;
    QSystemTrayIcon* m_icon = nullptr;
};

} // namespace platform::ui
