#pragma once

#include <QObject>

class QSocketNotifier;

namespace platform {

// Turns SIGTERM and SIGINT into a Qt signal on the main thread, so the
// program can end the way its own Exit command does instead of dying where
// it stands. One instance per process.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void terminationRequested();

private:
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace platform
