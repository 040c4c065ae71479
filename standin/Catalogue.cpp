#include "standin/Catalogue.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <stdexcept>

namespace standin {

namespace {

struct StoreInfo {
    Store store;
    const char* name;
};
constexpr StoreInfo kStoreNames[] = {{Store::US, "US"}, {Store::CA, "CA"}, {Store::UK, "UK"},
                                     {Store::DE, "DE"}, {Store::FR, "FR"}, {Store::JP, "JP"}};

QString grouped(int whole, QChar separator)
{
    QString digits = QString::number(whole);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, separator);
    return digits;
}

bool visible(const CatalogueEntry& entry, Store store, int elapsedMinutes)
{
    return entry.store == store && entry.appears <= elapsedMinutes;
}

} // namespace

QByteArray storeName(Store store)
{
    for (const auto& info : kStoreNames) {
        if (info.store == store)
            return info.name;
    }
    return "US";
}

bool storeFromName(const QByteArray& name, Store* store)
{
    for (const auto& info : kStoreNames) {
        if (name.compare(info.name, Qt::CaseInsensitive) == 0) {
            *store = info.store;
            return true;
        }
    }
    return false;
}

QString formatPrice(Store store, int amount)
{
    const QString cents = QStringLiteral("%1").arg(amount % 100, 2, 10, QLatin1Char('0'));
    switch (store) {
    case Store::US:
        return QStringLiteral("$") + grouped(amount / 100, u',') + u'.' + cents;
    case Store::CA:
        return QStringLiteral("CDN$ ") + grouped(amount / 100, u',') + u'.' + cents;
    case Store::UK:
        return QStringLiteral("£") + grouped(amount / 100, u',') + u'.' + cents;
    case Store::DE:
    case Store::FR:
        return QStringLiteral("EUR ") + grouped(amount / 100, u'.') + u',' + cents;
    case Store::JP:
        return QStringLiteral("￥ ") + grouped(amount, u',');
    }
    return {};
}

QString currencyCode(Store store)
{
    switch (store) {
    case Store::US:
        return QStringLiteral("USD");
    case Store::CA:
        return QStringLiteral("CAD");
    case Store::UK:
        return QStringLiteral("GBP");
    case Store::DE:
    case Store::FR:
        return QStringLiteral("EUR");
    case Store::JP:
        return QStringLiteral("JPY");
    }
    return {};
}

const QStringList& searchIndexes()
{
    static const QStringList indexes = {"Apparel",
                                        "Baby",
                                        "Blended",
                                        "Books",
                                        "Classical",
                                        "DVD",
                                        "DigitalMusic",
                                        "Electronics",
                                        "GourmetFood",
                                        "HealthPersonalCare",
                                        "Jewelry",
                                        "Kitchen",
                                        "Magazines",
                                        "Miscellaneous",
                                        "Music",
                                        "MusicTracks",
                                        "MusicalInstruments",
                                        "OfficeProducts",
                                        "OutdoorLiving",
                                        "PCHardware",
                                        "PetSupplies",
                                        "Photo",
                                        "Restaurants",
                                        "Software",
                                        "SportingGoods",
                                        "Tools",
                                        "Toys",
                                        "VHS",
                                        "Video",
                                        "VideoGames",
                                        "Wireless",
                                        "WirelessAccessories"};
    return indexes;
}

QString CatalogueEntry::searchText() const
{
    QStringList parts{title, byline, keywords, index};
    for (const auto& attribute : attributes)
        parts << attribute.second;
    return parts.join(u' ').toLower();
}

Catalogue Catalogue::load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read the catalogue " + path.toStdString());
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (document.isNull())
        throw std::runtime_error("the catalogue " + path.toStdString() +
                                 " is not JSON: " + error.errorString().toStdString());

    Catalogue catalogue;
    for (const QJsonValue& value : document.object().value(QLatin1String("products")).toArray()) {
        const QJsonObject o = value.toObject();
        CatalogueEntry e;
        e.asin = o.value(QLatin1String("asin")).toString();
        if (!storeFromName(o.value(QLatin1String("store")).toString().toLatin1(), &e.store) || e.asin.isEmpty())
            throw std::runtime_error("a product of the catalogue has no ASIN or an unknown store");
        e.index = o.value(QLatin1String("index")).toString();
        e.title = o.value(QLatin1String("title")).toString();
        const QJsonArray byline = o.value(QLatin1String("byline")).toArray();
        e.bylineRole = byline.at(0).toString();
        e.byline = byline.at(1).toString();
        for (const QJsonValue& pair : o.value(QLatin1String("attributes")).toArray())
            e.attributes.append({pair.toArray().at(0).toString(), pair.toArray().at(1).toString()});
        e.publicationDate = o.value(QLatin1String("publicationDate")).toString();
        e.listPrice = o.value(QLatin1String("listPrice")).toInt();
        e.lowestNewPrice = o.value(QLatin1String("lowestNewPrice")).toInt();
        e.lowestUsedPrice = o.value(QLatin1String("lowestUsedPrice")).toInt();
        e.totalNew = o.value(QLatin1String("totalNew")).toInt();
        e.averageRating = o.value(QLatin1String("averageRating")).toString();
        e.totalReviews = o.value(QLatin1String("totalReviews")).toInt();
        e.review = o.value(QLatin1String("review")).toString();
        e.keywords = o.value(QLatin1String("keywords")).toString();
        for (const QJsonValue& disc : o.value(QLatin1String("tracks")).toArray()) {
            QStringList tracks;
            for (const QJsonValue& track : disc.toArray())
                tracks << track.toString();
            e.discs << tracks;
        }
        e.appears = o.value(QLatin1String("appears")).toInt();
        e.salesRank = o.value(QLatin1String("salesRank")).toInt();
        catalogue.m_entries.append(e);
    }
    if (catalogue.m_entries.isEmpty())
        throw std::runtime_error("the catalogue " + path.toStdString() + " holds no products");
    return catalogue;
}

QList<const CatalogueEntry*> Catalogue::search(Store store, const QString& searchIndex, const QString& keywords,
                                               int elapsedMinutes) const
{
    const QStringList words = keywords.toLower().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    QList<const CatalogueEntry*> found;
    for (const CatalogueEntry& entry : m_entries) {
        if (!visible(entry, store, elapsedMinutes))
            continue;
        if (searchIndex != QLatin1String("Blended") && entry.index != searchIndex)
            continue;
        const QString text = entry.searchText();
        if (std::all_of(words.begin(), words.end(), [&](const QString& word) { return text.contains(word); }))
            found.append(&entry);
    }
    // Newest first, so what just appeared is on the first page.
    std::stable_sort(found.begin(), found.end(), [](const CatalogueEntry* a, const CatalogueEntry* b) {
        return a->appears != b->appears ? a->appears > b->appears : a->salesRank < b->salesRank;
    });
    return found;
}

const CatalogueEntry* Catalogue::find(Store store, const QString& asin, int elapsedMinutes) const
{
    for (const CatalogueEntry& entry : m_entries) {
        if (entry.asin == asin && visible(entry, store, elapsedMinutes))
            return &entry;
    }
    return nullptr;
}

QList<const CatalogueEntry*> Catalogue::topSellers(Store store, const QString& index, int elapsedMinutes) const
{
    QList<const CatalogueEntry*> pool;
    for (const CatalogueEntry& entry : m_entries) {
        if (visible(entry, store, elapsedMinutes) && entry.index == index)
            pool.append(&entry);
    }
    std::stable_sort(pool.begin(), pool.end(),
                     [](const CatalogueEntry* a, const CatalogueEntry* b) { return a->salesRank < b->salesRank; });
    if (pool.size() <= kListLength)
        return pool;
    // A window over the ranked products that moves on by one now and then:
    // one product drops out, one is new to the list.
    const qsizetype start = (elapsedMinutes / kTopSellerMinutes) % pool.size();
    QList<const CatalogueEntry*> list;
    for (qsizetype i = 0; i < kListLength; ++i)
        list.append(pool[(start + i) % pool.size()]);
    return list;
}

QList<const CatalogueEntry*> Catalogue::newReleases(Store store, const QString& index, int elapsedMinutes) const
{
    QList<const CatalogueEntry*> pool;
    for (const CatalogueEntry& entry : m_entries) {
        if (visible(entry, store, elapsedMinutes) && entry.index == index)
            pool.append(&entry);
    }
    std::stable_sort(pool.begin(), pool.end(), [](const CatalogueEntry* a, const CatalogueEntry* b) {
        return a->appears != b->appears ? a->appears > b->appears : a->publicationDate > b->publicationDate;
    });
    return pool.mid(0, kListLength);
}

servicereplies::Product Catalogue::product(const CatalogueEntry& e) const
{
    servicereplies::Product p;
    const QString site = QStringLiteral("http://") + QString::fromLatin1(m_imageHost);
    p.asin = e.asin;
    p.detailPageUrl =
        site + QStringLiteral("/exec/obidos/ASIN/") + e.asin + u'/' + QString::fromLatin1(storeName(e.store)).toLower();
    p.title = e.title;
    p.bylineRole = e.bylineRole;
    p.byline = e.byline;
    p.attributes = e.attributes;
    if (!e.publicationDate.isEmpty())
        p.attributes.append({QStringLiteral("PublicationDate"), e.publicationDate});
    p.currency = currencyCode(e.store);
    if (e.listPrice > 0) {
        p.listAmount = e.listPrice;
        p.listPrice = formatPrice(e.store, e.listPrice);
    }
    if (e.lowestNewPrice > 0) {
        p.lowestNewAmount = e.lowestNewPrice;
        p.lowestNewPrice = formatPrice(e.store, e.lowestNewPrice);
        p.totalNew = e.totalNew;
    }
    if (e.lowestUsedPrice > 0) {
        p.lowestUsedAmount = e.lowestUsedPrice;
        p.lowestUsedPrice = formatPrice(e.store, e.lowestUsedPrice);
        p.totalUsed = 1 + e.totalNew / 3;
    }
    p.averageRating = e.averageRating;
    p.totalReviews = e.totalReviews;
    p.editorialReview = e.review;
    p.smallImageUrl = site + QStringLiteral("/images/P/") + e.asin + QStringLiteral(".01._SCTHUMBZZZ_.jpg");
    p.mediumImageUrl = site + QStringLiteral("/images/P/") + e.asin + QStringLiteral(".01._SCMZZZZZZZ_.jpg");
    p.discs = e.discs;
    p.salesRank = e.salesRank;
    return p;
}

} // namespace standin
