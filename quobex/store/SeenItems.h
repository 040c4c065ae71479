#pragma once

#include "quobex/model/AlertTree.h"
#include "quobex/store/AlertKey.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace quobex {

// The products each alert and built-in list has already brought, so that a
// product is announced once per alert: one cut away by KeepArticles or
// deleted with "Delete Entry" is not new again when a search returns it.
// Per alert the ASINs are kept newest sighting first, at most kPerAlert.
// It belongs to the main thread; a fetch uses it inside its hand-overs.
class SeenItems {
public:
    static constexpr int kPerAlert = 1000;
    static inline const QByteArray kHeader = QByteArrayLiteral("Quobex seen items 1");

    bool contains(const AlertKey& alert, const QString& asin) const;
    // A product the alert brought (again): it goes to the front of the
    // alert's list, whose oldest entries beyond kPerAlert are dropped.
    void see(const AlertKey& alert, const QString& asin);
    // Every product under the alert nodes of `tree` counts as seen: those a
    // list lacks are added behind what it holds. True when anything changed.
    bool absorb(const AlertTree& tree);
    // An alert deleted: the list goes with it.
    bool forget(const AlertKey& alert);

    // Newest first; empty for an alert without a list.
    QStringList list(const AlertKey& alert) const;
    int alertCount() const { return int(m_lists.size()); }

    // Whether anything changed since the last load or save.
    bool isModified() const { return m_modified; }

    QByteArray serialize() const;
    static SeenItems parse(const QByteArray& text);
    // A missing or unreadable file gives no lists.
    static SeenItems load(const QString& path);
    // Replaces the file atomically. Throws IoError; the old file then stays whole.
    void save(const QString& path);

private:
    struct List {
        QStringList newestFirst;
        QSet<QString> members;
    };
    void append(List& list, const QString& asin);
    static SeenItems fromRecords(const QList<QStringList>& records);

    QHash<AlertKey, List> m_lists;
    bool m_modified = false;
};

} // namespace quobex
