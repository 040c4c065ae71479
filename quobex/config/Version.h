#pragma once

#include <QByteArray>

namespace quobex {

// The program's version, as it reports it and writes it into the version marker.
inline const QByteArray kVersionText = QByteArrayLiteral("1.0.8.49");

} // namespace quobex
