#include "tests/support/FakeWebService.h"

#include "standin/replies/ServiceReplies.h"

#include "tests/support/Fixtures.h"

#include <chrono>

namespace testsupport {

FakeWebService::Reply FakeWebService::Reply::xml(const QByteArray& body)
{
    Reply r;
    r.body = body;
    return r;
}

FakeWebService::Reply FakeWebService::Reply::fixture(const QString& name)
{
    return xml(testsupport::fixture(name));
}

FakeWebService::Reply FakeWebService::Reply::error(int status, const QByteArray& body)
{
    Reply r;
    r.status = status;
    r.body = body;
    return r;
}

FakeWebService::Reply FakeWebService::Reply::delayed(int ms) const
{
    Reply r = *this;
    r.delayMs = ms;
    return r;
}

FakeWebService::Reply FakeWebService::Reply::cutOff() const
{
    Reply r = *this;
    r.truncated = true;
    return r;
}

FakeWebService::Reply FakeWebService::Reply::redirectLoop()
{
    Reply r;
    r.status = 302;
    r.toItself = true;
    return r;
}

FakeWebService::FakeWebService()
{
    m_server.server().Get("/onca/xml", [this](const httplib::Request& request, httplib::Response& response) {
        answer(request, response);
    });
    m_server.start();
}

FakeWebService::~FakeWebService()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_server.stop();
}

void FakeWebService::addReply(Match match, const Reply& reply)
{
    std::lock_guard lock(m_mutex);
    m_rules.prepend({std::move(match), reply});
}

void FakeWebService::setSearchReply(const QByteArray& keywords, const Reply& reply)
{
    addReply(
        [keywords](const Query& q) { return q.value("Operation") == "ItemSearch" && q.value("Keywords") == keywords; },
        reply);
}

void FakeWebService::setBrowseNodeReply(const QByteArray& browseNodeId, const QByteArray& responseGroup,
                                        const Reply& reply)
{
    addReply(
        [browseNodeId, responseGroup](const Query& q) {
            return q.value("Operation") == "BrowseNodeLookup" && q.value("BrowseNodeId") == browseNodeId &&
                   q.value("ResponseGroup") == responseGroup;
        },
        reply);
}

void FakeWebService::setLookupReply(const QByteArray& itemId, const Reply& reply)
{
    addReply([itemId](const Query& q) { return q.value("Operation") == "ItemLookup" && q.value("ItemId") == itemId; },
             reply);
}

void FakeWebService::setDefaultReply(const QByteArray& operation, const Reply& reply)
{
    std::lock_guard lock(m_mutex);
    m_defaults.insert(operation, reply);
}

void FakeWebService::setDefaultReply(const Reply& reply)
{
    std::lock_guard lock(m_mutex);
    m_default = reply;
}

void FakeWebService::clearReplies()
{
    std::lock_guard lock(m_mutex);
    m_rules.clear();
    m_defaults.clear();
    m_default.reset();
}

QList<QByteArray> FakeWebService::targetsOf(const QByteArray& operation) const
{
    QList<QByteArray> out;
    for (const QByteArray& target : targets()) {
        if (parseQuery(target).value("Operation") == operation)
            out.append(target);
    }
    return out;
}

FakeWebService::Query FakeWebService::parseQuery(const QByteArray& target)
{
    return servicereplies::parseQuery(target);
}

QByteArray FakeWebService::emptyReply(const QByteArray& operation)
{
    return servicereplies::emptyReply(operation);
}

FakeWebService::Reply FakeWebService::replyFor(const QByteArray& target) const
{
    const Query query = parseQuery(target);
    std::lock_guard lock(m_mutex);
    for (const auto& [match, reply] : m_rules) {
        if (match(query))
            return reply;
    }
    if (auto it = m_defaults.constFind(query.value("Operation")); it != m_defaults.constEnd())
        return *it;
    if (m_default)
        return *m_default;
    return Reply::error(404, "no reply arranged for " + target);
}

void FakeWebService::answer(const httplib::Request& request, httplib::Response& response)
{
    const Reply reply = replyFor(QByteArray::fromStdString(request.target));
    if (reply.delayMs > 0) {
        std::unique_lock lock(m_mutex);
        m_wake.wait_for(lock, std::chrono::milliseconds(reply.delayMs), [this] { return m_stopping; });
    }
    response.status = reply.status;
    if (reply.toItself)
        response.set_header("Location", request.target);
    if (!reply.truncated) {
        response.set_content(reply.body.toStdString(), "text/xml");
        return;
    }
    const std::string body = reply.body.toStdString();
    const size_t sent = body.size() / 2;
    response.set_content_provider(body.size(), "text/xml",
                                  [body, sent](size_t offset, size_t, httplib::DataSink& sink) {
                                      if (offset > 0 || sent == 0)
                                          return false; // the connection breaks off here
                                      sink.write(body.data(), sent);
                                      return true;
                                  });
}

} // namespace testsupport
