#include "platform/ui/Tray.h"

#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>

namespace platform::ui {

Tray::Tray(QObject* parent) : QObject(parent) {}

Tray::~Tray() = default;

QSystemTrayIcon* Tray::icon()
{
    if (!m_icon) {
        m_icon = new QSystemTrayIcon(this);
        connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::DoubleClick)
                Q_EMIT doubleClicked();
        });
        if (m_menu)
            m_icon->setContextMenu(m_menu);
    }
    return m_icon;
}

void Tray::setMenu(QMenu* menu)
{
    m_menu = menu;
    if (m_icon)
        m_icon->setContextMenu(menu);
}

void Tray::activate()
{
    setImageIndex(m_imageIndex);
    icon()->setToolTip(m_toolTip.isEmpty() ? QApplication::applicationName() : m_toolTip);
    icon()->show();
}

void Tray::setImageIndex(int index)
{
    m_imageIndex = index;
    if (index >= 0 && index < m_images.size())
        icon()->setIcon(m_images.at(index));
}

void Tray::showBalloon(const QString& title, const QString& text, int timeHintMs)
{
    icon()->showMessage(title, text, QSystemTrayIcon::Information, timeHintMs);
}

void Tray::setToolTip(const QString& text)
{
    m_toolTip = text;
    if (m_icon)
        m_icon->setToolTip(text);
}

void Tray::beep()
{
    QApplication::beep();
}

bool Tray::isAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void Tray::showApplication()
{
    if (!m_window)
        return;
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    bringToFront();
}

void Tray::hideApplication()
{
    if (!m_window)
        return;
    if (isAvailable())
        m_window->hide();
    else
        m_window->showMinimized();
}

void Tray::bringToFront()
{
    if (!m_window)
        return;
    m_window->raise();
    m_window->activateWindow();
}

} // namespace platform::ui
