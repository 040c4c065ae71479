#include "quobex/config/Endpoints.h"

#include "QuobexConfig.h"

namespace quobex {

Endpoints Endpoints::configured()
{
    Endpoints e;
    e.makerServer = QUOBEX_MAKER_SERVER;
    e.serviceHostUS = QUOBEX_SERVICE_HOST_US;
    e.serviceHostCA = QUOBEX_SERVICE_HOST_CA;
    e.serviceHostUK = QUOBEX_SERVICE_HOST_UK;
    e.serviceHostDE = QUOBEX_SERVICE_HOST_DE;
    e.serviceHostFR = QUOBEX_SERVICE_HOST_FR;
    e.serviceHostJP = QUOBEX_SERVICE_HOST_JP;
    e.imageHost = QUOBEX_IMAGE_HOST;
    e.storeSite = QUOBEX_STORE_SITE;
    e.searchSubscriptionId = QUOBEX_SEARCH_SUBSCRIPTION_ID;
    e.lookupSubscriptionId = QUOBEX_LOOKUP_SUBSCRIPTION_ID;
    e.associateTagDefault = QUOBEX_ASSOCIATE_TAG_DEFAULT;
    e.associateTagCA = QUOBEX_ASSOCIATE_TAG_CA;
    e.associateTagUK = QUOBEX_ASSOCIATE_TAG_UK;
    e.associateTagDE = QUOBEX_ASSOCIATE_TAG_DE;
    e.associateTagFR = QUOBEX_ASSOCIATE_TAG_FR;
    return e;
}

Endpoints Endpoints::loopback(const QByteArray& hostAndPort, const QByteArray& makerHostAndPort)
{
    Endpoints e = configured();
    e.makerServer = "http://" + makerHostAndPort;
    e.serviceHostUS = e.serviceHostCA = e.serviceHostUK = hostAndPort;
    e.serviceHostDE = e.serviceHostFR = e.serviceHostJP = hostAndPort;
    e.imageHost = e.storeSite = hostAndPort;
    return e;
}

} // namespace quobex
