#pragma once

#include "platform/XmlDocument.h"
#include "quobex/store/AlertChecks.h"

#include <QByteArray>
#include <QString>

namespace quobex {

// One web-service request: a GET of `url` on an HTTP client of its own. The
// whole body when it succeeds. Throws platform::HttpError when it fails in
// any way (no connection, time-out, an HTTP error status whatever body came
// with it, a body that broke off, a reply over its size limits, a worker
// asked to stop).
QByteArray RequestServiceReply(const QByteArray& url);

// The same, with an empty reply for any failure. Never throws.
QByteArray FetchServiceReply(const QByteArray& url);

// What kind of failure the HTTP client's error text names: an HTTP status
// ("HTTP error 503", "status 503"), a time-out ("timed out"), or else no
// answer. The text itself is kept as the failure's message.
CheckFailure DescribeRequestFailure(const QString& clientMessage);

// The web service's own error in a parsed reply: an error document, or an
// Error in the request's or the list's Errors. That no product matched is
// no error. Kind None when the reply reports nothing that matters.
CheckFailure ServiceErrorIn(const platform::XmlDocument& reply);

} // namespace quobex
