#pragma once

#include <QByteArray>
#include <QString>

namespace testsupport {

// The bytes of tests/fixtures/<name>; fails the test when it is missing.
QByteArray fixture(const QString& name);
QString fixturePath(const QString& name);

// Whole-file helpers for checking what the program wrote.
QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);

} // namespace testsupport
