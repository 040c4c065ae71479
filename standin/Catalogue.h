#pragma once

#include "standin/replies/ServiceReplies.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace standin {

// The six stores, each on a port of its own.
enum class Store { US, CA, UK, DE, FR, JP };
inline constexpr Store kStores[] = {Store::US, Store::CA, Store::UK, Store::DE, Store::FR, Store::JP};
QByteArray storeName(Store store);
bool storeFromName(const QByteArray& name, Store* store);

// One product of the catalogue file, in the store that sells it.
struct CatalogueEntry {
    QString asin;
    Store store = Store::US;
    QString index; // its SearchIndex: "Books", "DVD", "Music" ...
    QString title;
    QString bylineRole;
    QString byline;
    QList<QPair<QString, QString>> attributes;
    QString publicationDate;
    int listPrice = 0; // in the store's smallest unit (cents, yen)
    int lowestNewPrice = 0;
    int lowestUsedPrice = 0; // 0: no used offer
    int totalNew = 0;
    QString averageRating;
    int totalReviews = 0;
    QString review;
    QString keywords;
    QList<QStringList> discs;
    int appears = 0; // minutes after the stand-in started
    int salesRank = 0;

    // Lower-case words a search matches against.
    QString searchText() const;
};

// The catalogue and the three operations of the service over it. A
// product is on sale once `elapsedMinutes` reaches its `appears` minute, so
// one running longer sees more; the same minute always gives the same reply.
class Catalogue {
public:
    // Reads the catalogue file; throws std::runtime_error naming the fault.
    static Catalogue load(const QString& path);

    const QList<CatalogueEntry>& entries() const { return m_entries; }

    // Where pictures and product pages live: "host:port" of the image host.
    void setImageHost(const QByteArray& hostAndPort) { m_imageHost = hostAndPort; }
    QByteArray imageHost() const { return m_imageHost; }

    // Products of `store` on sale at `elapsedMinutes` whose index is
    // `searchIndex` ("Blended": any) and whose texts hold every word of
    // `keywords` (case-insensitive), newest first.
    QList<const CatalogueEntry*> search(Store store, const QString& searchIndex, const QString& keywords,
                                        int elapsedMinutes) const;
    const CatalogueEntry* find(Store store, const QString& asin, int elapsedMinutes) const;
    // The ten products of a category list: TopSellers go round the index's
    // products, one new one every `kTopSellerMinutes`; NewReleases are the
    // latest to appear and publish.
    QList<const CatalogueEntry*> topSellers(Store store, const QString& index, int elapsedMinutes) const;
    QList<const CatalogueEntry*> newReleases(Store store, const QString& index, int elapsedMinutes) const;

    // The product as the service describes it, with prices in the store's
    // own format.
    servicereplies::Product product(const CatalogueEntry& entry) const;

    static constexpr int kListLength = 10;
    static constexpr int kTopSellerMinutes = 7;
    static constexpr int kSearchPageSize = 10;

private:
    QList<CatalogueEntry> m_entries;
    QByteArray m_imageHost = "127.0.0.1";
};

// "$39.95", "CDN$ 15.99", "£9.99", "EUR 19,95", "￥ 1,500".
QString formatPrice(Store store, int amount);
QString currencyCode(Store store);

// The ItemSearch SearchIndex values the service knows.
const QStringList& searchIndexes();

} // namespace standin
