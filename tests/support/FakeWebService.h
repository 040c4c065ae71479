#pragma once

#include "tests/support/LoopbackServer.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>

namespace testsupport {

// The store's XML web service on a loopback port: "/onca/xml" answers
// ItemSearch, BrowseNodeLookup and ItemLookup by the request's Operation
// value, with the replies a test arranged. A reply may be an HTTP error
// status with a body, come late, or break off in its body. Every request
// is recorded with its raw target, so a test sees the URL byte for byte.
//
// Replies are chosen by the first matching rule, the latest added first;
// a request no rule matches gets the operation's default reply, then the
// general default, and failing both a 404 that names the request.
class FakeWebService {
public:
    struct Reply {
        int status = 200;
        QByteArray body;
        int delayMs = 0;        // wait this long before answering
        bool truncated = false; // announce the whole body, send half, close
        bool toItself = false;  // a redirect back to the request's own target

        static Reply xml(const QByteArray& body);
        // A file of tests/fixtures, e.g. "replies/ItemSearch-reply.xml".
        static Reply fixture(const QString& name);
        static Reply error(int status, const QByteArray& body);
        Reply delayed(int ms) const;
        Reply cutOff() const;
        // "302 Found" to the very target that was asked for: a redirect loop.
        static Reply redirectLoop();
    };

    // The decoded query values of a request ("+" a space, "%XX" one byte).
    using Query = QMap<QByteArray, QByteArray>;
    using Match = std::function<bool(const Query&)>;

    // Listens at once.
    FakeWebService();
    ~FakeWebService();
    FakeWebService(const FakeWebService&) = delete;
    FakeWebService& operator=(const FakeWebService&) = delete;

    // "127.0.0.1:<port>", the host of every store in loopback endpoints.
    QByteArray hostAndPort() const { return m_server.hostAndPort(); }

    void addReply(Match match, const Reply& reply);
    // ItemSearch by its Keywords value.
    void setSearchReply(const QByteArray& keywords, const Reply& reply);
    // BrowseNodeLookup by its BrowseNodeId and ResponseGroup values.
    void setBrowseNodeReply(const QByteArray& browseNodeId, const QByteArray& responseGroup, const Reply& reply);
    // ItemLookup by its ItemId value.
    void setLookupReply(const QByteArray& itemId, const Reply& reply);
    // Requests of `operation` that no rule matches.
    void setDefaultReply(const QByteArray& operation, const Reply& reply);
    // Requests that nothing else answers.
    void setDefaultReply(const Reply& reply);
    void clearReplies();

    // Raw targets (path and query as sent), in the order received.
    QList<QByteArray> targets() const { return m_server.targets(); }
    // Those whose Operation is `operation`.
    QList<QByteArray> targetsOf(const QByteArray& operation) const;
    void clearRequests() { m_server.clearRequests(); }

    static Query parseQuery(const QByteArray& target);
    // A well-formed reply of `operation` that holds nothing: no Item, no
    // list entry.
    static QByteArray emptyReply(const QByteArray& operation);

private:
    Reply replyFor(const QByteArray& target) const;
    void answer(const httplib::Request& request, httplib::Response& response);

    LoopbackServer m_server;
    mutable std::mutex m_mutex;
    QList<QPair<Match, Reply>> m_rules;
    QMap<QByteArray, Reply> m_defaults;
    std::optional<Reply> m_default;
    std::condition_variable m_wake;
    bool m_stopping = false;
};

} // namespace testsupport
