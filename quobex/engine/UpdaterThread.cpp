#include "quobex/engine/UpdaterThread.h"

#include "platform/CodePage.h"
#include "platform/Errors.h"
#include "platform/Synchronize.h"
#include "platform/TextList.h"
#include "quobex/config/DataFiles.h"
#include "quobex/model/AlertTree.h"
#include "quobex/store/LatestAlerts.h"

#include <exception>

namespace quobex {

TUpdaterThread::TUpdaterThread(const Endpoints& endpoints, MainWindowState state, const QString& dataFolder,
                               QObject* parent)
    : QThread(parent), m_state(std::move(state)), m_indexFile(dataFolder + DataFiles::kLatestAlertIndex),
      m_session(endpoints, *m_state.tree, *m_state.newTitles)
{
    connect(this, &QThread::finished, this, &QObject::deleteLater);
    try {
        LatestAlerts::load(m_indexFile, m_session.latestAlertIndex());
    } catch (const std::exception&) {
        // Unreadable: the fetch must not write an index of only its own
        // ASINs over it. The file stays as it is, and the main window's
        // reading of it after the fetch tells the user.
        m_indexUnreadable = true;
    }
    m_session.setRecords(m_state.seen, m_state.checks);
    m_session.setStatusHandler([this](const QByteArray& text) {
        if (m_state.showStatus)
            m_state.showStatus(platform::CodePage::toUnicode(text));
    });
}

TUpdaterThread::~TUpdaterThread()
{
    // Freed on the main thread after the worker's end, which Qt reports
    // through its own event queue; see run().
    m_ended.load(std::memory_order_acquire);
}

void TUpdaterThread::run()
{
    Execute();
    // What the worker wrote of its own is seen by the main thread, which
    // frees it; ThreadSanitizer cannot see that order through Qt.
    m_ended.store(true, std::memory_order_release);
}

void TUpdaterThread::UpdateStatus()
{
    m_session.UpdateStatus(StatusText);
}

bool TUpdaterThread::isStillDefined(const QByteArray& keyword, const QByteArray& itemType,
                                    const QByteArray& localization)
{
    const AlertDefinitions& defs = *m_state.definitions;
    if (!defs.isConsistent())
        return false;
    for (qsizetype i = 0; i < defs.count(); ++i) {
        if (defs.KeywordList.at(i) == keyword && defs.ItemTypeList.at(i) == itemType &&
            defs.LocalizationList.at(i) == localization)
            return true;
    }
    return false;
}

void TUpdaterThread::Execute()
{
    try {
        // The alerts as they stand when the fetch begins: one added meanwhile
        // waits for the next fetch, one deleted meanwhile is not searched
        // (nor its nodes made again), and a delete never shifts another
        // alert out of this fetch.
        AlertDefinitions alerts;
        platform::Synchronize([&] {
            AlertTree& tree = *m_state.tree;
            for (int g = 0; g < tree.root()->childCount(); ++g) {
                AlertNode* group = tree.root()->child(g);
                group->data.NewCount = 0;
                tree.Invalidate(group);
            }
            if (m_state.definitions->isConsistent())
                alerts = *m_state.definitions;
        });

        int failed = 0;
        for (qsizetype i = 0; i < alerts.count(); ++i) {
            const QByteArray& keyword = alerts.KeywordList.at(i);
            const QByteArray& itemType = alerts.ItemTypeList.at(i);
            const QByteArray& localization = alerts.LocalizationList.at(i);
            StatusText = "Fetching results for " + keyword + " (" + itemType + ", " + localization + ")";
            UpdateStatus();
            if (m_session
                    .SearchKeywordAlert(itemType, keyword, localization,
                                        [&] { return isStillDefined(keyword, itemType, localization); })
                    .failed())
                ++failed;
        }

        failed += m_session.FetchCategories();

        int keep = 0;
        platform::Synchronize([&] {
            keep = m_state.keepArticles ? m_state.keepArticles() : 20;
            if (m_state.checks)
                m_state.checks->recordFetch(QDateTime::currentDateTimeUtc(), failed);
        });
        QList<QByteArray>& index = m_session.latestAlertIndex();
        if (index.size() > keep)
            index.resize(keep);
        if (!m_indexUnreadable) {
            try {
                platform::TextList::save(m_indexFile, index);
            } catch (const platform::IoError& e) {
                // The previous index stays whole; the user is told which file.
                const QString text = QString::fromLocal8Bit(e.what());
                platform::Synchronize([&] {
                    if (m_state.reportError)
                        m_state.reportError(text);
                });
            }
        }

        StatusText = "Ready.";
        UpdateStatus();
    } catch (const std::exception&) {
        // A worker asked to stop or an index that cannot be written: the
        // cycle ends here, and nobody is told.
    }
}

} // namespace quobex
