#include "quobex/engine/RequestUrls.h"

#include "quobex/engine/Locale.h"
#include "quobex/engine/QueryEncoding.h"

#include "platform/CodePage.h"

namespace quobex {

namespace {

QByteArray commonStart(const Locale& locale)
{
    return "http://" + locale.host + "/onca/xml?Service=AWSECommerceService&Version=2005-07-26";
}

} // namespace

QByteArray ItemSearchUrl(const Endpoints& endpoints, const QByteArray& itemType, const QByteArray& keyword,
                         const QByteArray& localization)
{
    const Locale locale = ResolveLocale(endpoints, localization);
    return commonStart(locale) +
           "&Operation=ItemSearch&ContentType=text%2Fxml&SubscriptionId=" + endpoints.searchSubscriptionId +
           "&AssociateTag=" + locale.associateTag +
           "&Validate=False&XMLEscaping=Single&SearchIndex=" + EncodeQueryValue(itemType) +
           "&Keywords=" + EncodeQueryValue(keyword) + "&ResponseGroup=" + kItemResponseGroups;
}

QByteArray BrowseNodeLookupUrl(const Endpoints& endpoints, const QByteArray& localization, const QString& itemType,
                               const QString& groupName)
{
    const Locale locale = ResolveLocale(endpoints, localization);
    return commonStart(locale) +
           "&Operation=BrowseNodeLookup&ContentType=text%2Fxml&SubscriptionId=" + endpoints.lookupSubscriptionId +
           "&AssociateTag=" + locale.associateTag + "&BrowseNodeId=" + BrowseNodeIdOf(itemType) +
           "&ResponseGroup=" + ResponseGroupOf(groupName);
}

QByteArray ItemLookupUrl(const Endpoints& endpoints, const QByteArray& localization, const QString& asin)
{
    const Locale locale = ResolveLocale(endpoints, localization);
    // The ASIN goes out as stored, unencoded, in the code page.
    return commonStart(locale) +
           "&Operation=ItemLookup&ContentType=text%2Fxml&SubscriptionId=" + endpoints.lookupSubscriptionId +
           "&AssociateTag=" + locale.associateTag + "&ItemId=" + platform::CodePage::fromUnicode(asin) +
           "&IdType=ASIN&ResponseGroup=" + kItemResponseGroups;
}

QByteArray BrowseNodeIdOf(const QString& itemType)
{
    if (itemType == QLatin1String("Books"))
        return "283155";
    if (itemType == QLatin1String("DVD"))
        return "130";
    if (itemType == QLatin1String("Music"))
        return "5174";
    return {};
}

QByteArray ResponseGroupOf(const QString& groupName)
{
    if (groupName == QLatin1String("Top Sellers"))
        return "TopSellers";
    if (groupName == QLatin1String("New Releases"))
        return "NewReleases";
    return {};
}

} // namespace quobex
