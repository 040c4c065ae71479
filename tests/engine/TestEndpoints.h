#pragma once

#include "quobex/config/Endpoints.h"

// Endpoints with values of their own, so expected URLs do not depend on how
// the build was configured.
inline quobex::Endpoints testEndpoints()
{
    quobex::Endpoints e;
    e.makerServer = "http://maker.test";
    e.serviceHostUS = "ws.us.test";
    e.serviceHostCA = "ws.ca.test";
    e.serviceHostUK = "ws.uk.test";
    e.serviceHostDE = "ws.de.test";
    e.serviceHostFR = "ws.fr.test";
    e.serviceHostJP = "ws.jp.test";
    e.imageHost = "img.test";
    e.storeSite = "store.test";
    e.searchSubscriptionId = "SEARCHID000000000001";
    e.lookupSubscriptionId = "LOOKUPID000000000002";
    e.associateTagDefault = "tag-20";
    e.associateTagCA = "tagca-20";
    e.associateTagUK = "taguk-21";
    e.associateTagDE = "tagde-21";
    e.associateTagFR = "tagfr-21";
    return e;
}
