#pragma once

#include <QLatin1String>
#include <QObject>

namespace platform::ui {

// Gives a new control the object name other code and tests find it by.
template <typename T> T* named(T* object, const char* name)
{
    object->setObjectName(QLatin1String(name));
    return object;
}

} // namespace platform::ui
