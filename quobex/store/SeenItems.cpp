#include "quobex/store/SeenItems.h"

#include "platform/SaveFile.h"
#include "quobex/store/RecordLines.h"

#include <algorithm>
#include <tuple>

namespace quobex {

namespace {

const QString kAlertRecord = QStringLiteral("alert");
const QString kItemRecord = QStringLiteral("item");

} // namespace

bool SeenItems::contains(const AlertKey& alert, const QString& asin) const
{
    const auto it = m_lists.constFind(alert);
    return it != m_lists.constEnd() && it->members.contains(asin);
}

void SeenItems::see(const AlertKey& alert, const QString& asin)
{
    List& list = m_lists[alert];
    if (!list.newestFirst.isEmpty() && list.newestFirst.first() == asin)
        return;
    if (list.members.contains(asin))
        list.newestFirst.removeOne(asin);
    else
        list.members.insert(asin);
    list.newestFirst.prepend(asin);
    while (list.newestFirst.size() > kPerAlert)
        list.members.remove(list.newestFirst.takeLast());
    m_modified = true;
}

void SeenItems::append(List& list, const QString& asin)
{
    if (list.newestFirst.size() >= kPerAlert || list.members.contains(asin))
        return;
    list.members.insert(asin);
    list.newestFirst.append(asin);
    m_modified = true;
}

bool SeenItems::absorb(const AlertTree& tree)
{
    const bool before = m_modified;
    m_modified = false;
    const AlertNode* root = tree.root();
    for (int g = 0; g < root->childCount(); ++g) {
        const AlertNode* group = root->child(g);
        for (int a = 0; a < group->childCount(); ++a) {
            const AlertNode* alert = group->child(a);
            if (alert->childCount() == 0)
                continue;
            List& list = m_lists[AlertKey::of(*alert)];
            for (int i = 0; i < alert->childCount(); ++i)
                append(list, alert->child(i)->data.ASIN);
        }
    }
    const bool changed = m_modified;
    m_modified = before || changed;
    return changed;
}

bool SeenItems::forget(const AlertKey& alert)
{
    if (!m_lists.remove(alert))
        return false;
    m_modified = true;
    return true;
}

QStringList SeenItems::list(const AlertKey& alert) const
{
    return m_lists.value(alert).newestFirst;
}

QByteArray SeenItems::serialize() const
{
    // Alerts in a fixed order, so the same lists always make the same file.
    QList<AlertKey> keys = m_lists.keys();
    std::sort(keys.begin(), keys.end(), [](const AlertKey& a, const AlertKey& b) {
        return std::tie(a.group, a.keyword, a.localization) < std::tie(b.group, b.keyword, b.localization);
    });
    QByteArray out = kHeader + '\n';
    for (const AlertKey& key : keys) {
        const List& list = m_lists[key];
        if (list.newestFirst.isEmpty())
            continue;
        out += RecordLines::line({kAlertRecord, key.group, key.keyword, key.localization});
        for (const QString& asin : list.newestFirst)
            out += RecordLines::line({kItemRecord, asin});
    }
    return out;
}

SeenItems SeenItems::fromRecords(const QList<QStringList>& records)
{
    SeenItems seen;
    List* current = nullptr;
    for (const QStringList& record : records) {
        if (record.size() == 4 && record.at(0) == kAlertRecord) {
            current = &seen.m_lists[{record.at(1), record.at(2), record.at(3)}];
        } else if (record.size() == 2 && record.at(0) == kItemRecord && current) {
            seen.append(*current, record.at(1));
        }
    }
    seen.m_modified = false;
    return seen;
}

SeenItems SeenItems::parse(const QByteArray& text)
{
    return fromRecords(RecordLines::parse(text, kHeader));
}

SeenItems SeenItems::load(const QString& path)
{
    return fromRecords(RecordLines::load(path, kHeader));
}

void SeenItems::save(const QString& path)
{
    platform::SaveFile::write(path, serialize());
    m_modified = false;
}

} // namespace quobex
