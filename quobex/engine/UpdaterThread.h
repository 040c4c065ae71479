#pragma once

#include "quobex/config/Endpoints.h"
#include "quobex/engine/FetchSession.h"
#include "quobex/store/AlertDefinitions.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QThread>

#include <atomic>
#include <functional>

namespace quobex {

class AlertTree;

// One fetch: every keyword alert in list order, then the built-in
// categories, then the latest-alert index trimmed and stored. It runs on a
// worker of its own and frees itself when it has ended; the main window's
// end handler runs first. What belongs to the main window (the tree, the
// alert lists, the new-titles list, the settings, the status bar) is only
// touched in hand-overs to the main thread.
class TUpdaterThread : public QThread {
    Q_OBJECT
public:
    // What the fetch reads and changes of the main window's; all of it is
    // used on the main thread only.
    struct MainWindowState {
        AlertTree* tree = nullptr;
        AlertDefinitions* definitions = nullptr;
        QList<QByteArray>* newTitles = nullptr;
        SeenItems* seen = nullptr;     // optional
        AlertChecks* checks = nullptr; // optional
        std::function<int()> keepArticles;
        std::function<void(const QString&)> showStatus;
        // Takes the text of an error the user must hear of (the index could
        // not be written); called in a hand-over.
        std::function<void(const QString&)> reportError;
    };

    // Runs on the main thread. Loads the latest-alert index of `dataFolder`
    // (with its trailing separator) if the file exists; one that exists but
    // cannot be read is left as it is by this fetch.
    TUpdaterThread(const Endpoints& endpoints, MainWindowState state, const QString& dataFolder,
                   QObject* parent = nullptr);
    ~TUpdaterThread() override;

    // The cycle. A failed request or an unusable reply fails only its own
    // alert, list or product, and the cycle goes on; a cycle that reaches
    // its end records how many alerts and lists failed, then trims and
    // writes the latest-alert index. A worker asked to stop, or an index
    // that cannot be written, ends it where it stands, silently. Tests may
    // run it inline on the main thread.
    void Execute();

    // The session, for tests that send requests their own way.
    FetchSession& session() { return m_session; }
    // Hands StatusText to the main window's status bar.
    void UpdateStatus();

    QByteArray StatusText;

protected:
    void run() override;

private:
    // Only inside a hand-over.
    bool isStillDefined(const QByteArray& keyword, const QByteArray& itemType, const QByteArray& localization);

    MainWindowState m_state;
    QString m_indexFile;
    bool m_indexUnreadable = false;
    std::atomic<bool> m_ended{false};
    FetchSession m_session;
};

} // namespace quobex
