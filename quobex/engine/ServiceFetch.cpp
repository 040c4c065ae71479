#include "quobex/engine/ServiceFetch.h"

#include "platform/HttpClient.h"

#include <exception>

namespace quobex {

QByteArray FetchServiceReply(const QByteArray& url)
{
    try {
        platform::HttpClient client;
        return client.get(url);
    } catch (const std::exception&) {
        return {};
    }
}

} // namespace quobex
