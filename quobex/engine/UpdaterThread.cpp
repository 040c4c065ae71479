#include "quobex/engine/UpdaterThread.h"

#include "platform/CodePage.h"
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
        // Unreadable: the fetch starts a new index and writes it at the end.
    }
    m_session.setRecords(m_state.seen, m_state.checks);
    m_session.setStatusHandler([this](const QByteArray& text) {
        if (m_state.showStatus)
            m_state.showStatus(platform::CodePage::toUnicode(text));
    });
}

void TUpdaterThread::run()
{
    Execute();
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
        platform::TextList::save(m_indexFile, index);

        StatusText = "Ready.";
        UpdateStatus();
    } catch (const std::exception&) {
        // A worker asked to stop or an index that cannot be written: the
        // cycle ends here, and nobody is told.
    }
}

} // namespace quobex
