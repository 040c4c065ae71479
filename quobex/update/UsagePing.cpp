#include "quobex/update/UsagePing.h"

#include "platform/HttpClient.h"

#include <QThread>

#include <exception>

namespace quobex {

UsagePing::UsagePing() : m_client(std::make_unique<platform::HttpClient>())
{
    m_client->setHeader("Accept", "text/html, */*");
    m_client->setHeader("Content-Type", "text/html");
    m_client->setTimeouts(kInactivityMs, kTotalMs);
}

UsagePing::~UsagePing()
{
    if (m_worker) {
        m_worker->requestInterruption();
        m_worker->wait();
    }
}

bool UsagePing::inFlight() const
{
    return m_worker && !m_worker->isFinished();
}

void UsagePing::setTimeouts(int inactivityMs, int totalMs)
{
    if (!inFlight())
        m_client->setTimeouts(inactivityMs, totalMs);
}

bool UsagePing::send(const QByteArray& url, const QByteArray& agent)
{
    if (inFlight())
        return false;
    if (m_worker)
        m_worker->wait();
    // Only one worker ever uses the client at a time, so its cookies need no lock.
    m_client->setUserAgent(agent);
    platform::HttpClient* client = m_client.get();
    m_worker.reset(QThread::create([client, url] {
        try {
            client->get(url);
        } catch (const std::exception&) {
            // A failed ping is dropped; the next tick tries again.
        }
    }));
    m_worker->start();
    ++m_sent;
    return true;
}

} // namespace quobex
