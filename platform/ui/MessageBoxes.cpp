#include "platform/ui/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

namespace platform::ui {

void MessageBoxes::inform(QWidget* parent, const QString& text)
{
    QMessageBox::information(parent, QApplication::applicationName(), text);
}

void MessageBoxes::error(QWidget* parent, const QString& text)
{
    QMessageBox::critical(parent, QApplication::applicationName(), text);
}

bool MessageBoxes::confirm(QWidget* parent, const QString& title, const QString& text)
{
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

} // namespace platform::ui
