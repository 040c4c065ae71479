#pragma once

#include <QByteArray>

namespace quobex {

// One web-service request: a GET of `url` on an HTTP client of its own. The
// whole body when it succeeds; an empty reply when it fails in any way (no
// connection, time-out, an HTTP error status whatever body came with it, a
// body that broke off, a reply over its size limits, a worker asked to
// stop). Never throws: the empty reply is how a failure reaches the caller,
// whose XML parse rejects it.
QByteArray FetchServiceReply(const QByteArray& url);

} // namespace quobex
