#include "platform/ui/WebView.h"

#include "platform/CodePage.h"
#include "platform/Errors.h"
#include "platform/HttpClient.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>

namespace platform::ui {

WebView::WebView(QWidget* parent) : QTextBrowser(parent)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setReadOnly(true);
    connect(this, &QTextBrowser::anchorClicked, this, &WebView::linkActivated);
}

WebView::~WebView()
{
    for (QThread* worker : m_workers)
        worker->requestInterruption();
    for (QThread* worker : m_workers) {
        worker->wait();
        delete worker;
    }
}

void WebView::Navigate(const QByteArray& url)
{
    m_address = url;
    startFetch(url);
}

void WebView::ShowHtml(const QByteArray& html)
{
    ++m_request; // a fetch still under way is no longer wanted
    m_address.clear();
    setHtml(CodePage::toUnicode(html));
}

void WebView::startFetch(const QByteArray& url)
{
    const quint64 request = ++m_request;
    ++m_pending;
    QPointer<WebView> self(this);
    QThread* worker = QThread::create([self, request, url] {
        QByteArray body;
        QString error;
        try {
            HttpClient client;
            body = client.get(url);
        } catch (const std::exception& e) {
            error = QString::fromLocal8Bit(e.what());
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, request, body, error] {
                if (self)
                    self->finishFetch(request, body, error);
            },
            Qt::QueuedConnection);
    });
    m_workers.append(worker);
    connect(worker, &QThread::finished, this, [this, worker] {
        m_workers.removeOne(worker);
        worker->deleteLater();
    });
    worker->start();
}

void WebView::finishFetch(quint64 request, const QByteArray& body, const QString& error)
{
    --m_pending;
    if (request != m_request)
        return;
    if (error.isEmpty())
        setHtml(QString::fromUtf8(body));
    else
        setHtml(failurePage(m_address, error));
    Q_EMIT pageLoaded(error.isEmpty());
}

QString WebView::failurePage(const QByteArray& url, const QString& why) const
{
    return QStringLiteral("<p>The page %1 could not be loaded: %2</p>")
        .arg(QString::fromLatin1(url).toHtmlEscaped(), why.toHtmlEscaped());
}

} // namespace platform::ui
