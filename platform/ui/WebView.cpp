#include "platform/ui/WebView.h"

#include "platform/CodePage.h"
#include "platform/HtmlNesting.h"
#include "platform/HttpClient.h"

#include <QAbstractTextDocumentLayout>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QStringConverter>
#include <QTextBlock>
#include <QThread>

#include <exception>
#include <optional>

namespace platform::ui {

namespace {

// Stands for a picture that is on its way or that the view will not load:
// it keeps the document from looking for a local file of that name.
const QImage& placeholderImage()
{
    static const QImage image = [] {
        QImage transparent(1, 1, QImage::Format_ARGB32);
        transparent.fill(Qt::transparent);
        return transparent;
    }();
    return image;
}

bool isWebScheme(const QString& scheme)
{
    return scheme.compare(QLatin1String("http"), Qt::CaseInsensitive) == 0 ||
           scheme.compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
}

QString decodePage(const QByteArray& body)
{
    // Pages that name no character set, or Latin-1, read in the code page,
    // which is what browsers do with them too.
    const std::optional<QStringConverter::Encoding> encoding = QStringConverter::encodingForHtml(body);
    if (!encoding || *encoding == QStringConverter::Latin1 || *encoding == QStringConverter::System)
        return CodePage::toUnicode(body);
    QStringDecoder decoder(*encoding);
    return decoder.decode(body);
}

// Old pages write colours as bare hexadecimal ("cc0000"); browsers take
// them, the rich-text reader wants the "#".
QString withColourMarks(QString html)
{
    static const QRegularExpression bareColour(
        QStringLiteral("(\\b(?:bg)?color\\s*=\\s*[\"']?)([0-9A-Fa-f]{6})(?=[\"'\\s>])"),
        QRegularExpression::CaseInsensitiveOption);
    return html.replace(bareColour, QStringLiteral("\\1#\\2"));
}

} // namespace

WebView::WebView(QWidget* parent) : QTextBrowser(parent), m_images(kImageCacheBytes)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setReadOnly(true);
    connect(this, &QTextBrowser::anchorClicked, this, &WebView::followLink);
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

int WebView::pendingImages() const
{
    int count = 0;
    for (auto it = m_imageFetches.cbegin(); it != m_imageFetches.cend(); ++it) {
        if (m_pageImages.contains(it.key()))
            ++count;
    }
    for (const QString& url : m_imageQueue) {
        if (m_pageImages.contains(url))
            ++count;
    }
    return count;
}

void WebView::Navigate(const QByteArray& url)
{
    m_address = url;
    startFetch(url);
}

void WebView::ShowHtml(const QByteArray& html)
{
    ++m_request; // a fetch still under way is no longer wanted
    m_loading = false;
    m_address.clear();
    const QString page = CodePage::toUnicode(html);
    if (HtmlNestedWithin(page, kMaxNesting))
        showPage(page, QUrl());
    else
        showPage(QStringLiteral("<p>%1</p>").arg(tooDeep()), QUrl());
}

QString WebView::tooDeep()
{
    return QStringLiteral("The page is nested too deeply to be shown");
}

void WebView::showPage(const QString& html, const QUrl& base)
{
    m_pageImages.clear();
    // A fresh document each time: the pictures of earlier pages must not
    // pile up in it over a long session.
    document()->clear();
    document()->setBaseUrl(base);
    setHtml(withColourMarks(html));
    // Lay the page out now, so that its pictures are asked for at once even
    // while the window is hidden.
    document()->size();
    stopStaleWorkers();
}

QThread* WebView::startWorker(std::function<void()> work)
{
    // Nothing a worker throws may end the program: its fetch just fails.
    QThread* worker = QThread::create([work = std::move(work)] {
        try {
            work();
        } catch (...) {
        }
    });
    m_workers.append(worker);
    connect(worker, &QThread::finished, this, [this, worker] {
        m_workers.removeOne(worker);
        m_pageWorkers.remove(worker);
        if (m_imageWorkers.remove(worker))
            startQueuedImages();
        worker->deleteLater();
    });
    worker->start();
    return worker;
}

void WebView::stopStaleWorkers()
{
    for (auto it = m_pageWorkers.cbegin(); it != m_pageWorkers.cend(); ++it) {
        if (it.value() != m_request)
            it.key()->requestInterruption();
    }
    for (auto it = m_imageFetches.begin(); it != m_imageFetches.end();) {
        if (m_pageImages.contains(it.key())) {
            ++it;
        } else {
            it->thread->requestInterruption();
            it = m_imageFetches.erase(it);
        }
    }
    m_imageQueue.removeIf([this](const QString& url) { return !m_pageImages.contains(url); });
}

void WebView::startFetch(const QByteArray& url)
{
    const quint64 request = ++m_request;
    m_loading = true;
    stopStaleWorkers();
    QThread* worker = startWorker([this, request, url] {
        QByteArray body;
        QString error;
        try {
            HttpClient client;
            body = client.get(url);
        } catch (const std::exception& e) {
            error = QString::fromLocal8Bit(e.what());
        } catch (...) {
            error = QStringLiteral("The page could not be read");
        }
        // The view waits for its workers before it goes, so it is alive here.
        QMetaObject::invokeMethod(
            this, [this, request, body, error] { finishFetch(request, body, error); }, Qt::QueuedConnection);
    });
    m_pageWorkers.insert(worker, request);
}

void WebView::finishFetch(quint64 request, const QByteArray& body, const QString& error)
{
    if (request != m_request)
        return;
    m_loading = false;
    QString page;
    QString why = error;
    if (why.isEmpty()) {
        page = decodePage(body);
        if (!HtmlNestedWithin(page, kMaxNesting))
            why = tooDeep();
    }
    if (why.isEmpty())
        showPage(page, QUrl::fromEncoded(m_address));
    else
        showPage(m_fallbackPage.isEmpty() ? failurePage(why) : m_fallbackPage, QUrl());
    Q_EMIT pageLoaded(why.isEmpty());
}

QString WebView::failurePage(const QString& why) const
{
    return QStringLiteral("<p>The page %1 could not be loaded: %2</p>")
        .arg(QString::fromLatin1(m_address).toHtmlEscaped(), why.toHtmlEscaped());
}

QVariant WebView::loadResource(int type, const QUrl& name)
{
    // `name` comes resolved against the page's address.
    const QString scheme = name.scheme().toLower();
    if (scheme == QLatin1String("qrc") || scheme == QLatin1String("data"))
        return QTextBrowser::loadResource(type, name); // the program's own pictures, inline pictures
    if (type != QTextDocument::ImageResource)
        return QString(); // no style sheets from elsewhere, nothing from local files
    if (!isWebScheme(scheme))
        return placeholderImage();
    const QString url = name.toString(QUrl::FullyEncoded);
    if (const QImage* cached = m_images.object(url))
        return *cached;
    m_pageImages.insert(url);
    if (!m_imageFetches.contains(url) && !m_imageQueue.contains(url)) {
        m_imageQueue.append(url);
        startQueuedImages();
    }
    return placeholderImage();
}

void WebView::startQueuedImages()
{
    // A page of many pictures loads a few at a time; a worker that was told
    // to stop still counts until it has ended.
    while (m_imageWorkers.size() < kMaxImageFetches && !m_imageQueue.isEmpty()) {
        const QString url = m_imageQueue.takeFirst();
        if (m_pageImages.contains(url) && !m_imageFetches.contains(url))
            startImageFetch(url);
    }
}

void WebView::startImageFetch(const QString& url)
{
    const quint64 id = ++m_nextImageFetch;
    QThread* worker = startWorker([this, url, id] {
        QImage image;
        try {
            HttpClient client;
            image = QImage::fromData(client.get(url.toLatin1()));
        } catch (...) {
            // The placeholder stays; the next page that shows it tries again.
        }
        QMetaObject::invokeMethod(
            this, [this, url, id, image] { finishImageFetch(url, id, image); }, Qt::QueuedConnection);
    });
    m_imageFetches.insert(url, {id, worker});
    m_imageWorkers.insert(worker);
}

void WebView::finishImageFetch(const QString& url, quint64 id, const QImage& image)
{
    const auto fetch = m_imageFetches.constFind(url);
    if (fetch != m_imageFetches.cend() && fetch->id == id)
        m_imageFetches.erase(fetch);
    if (!image.isNull())
        m_images.insert(url, new QImage(image), qMax<qsizetype>(1, image.sizeInBytes()));
    if (!m_pageImages.contains(url))
        return;
    if (!image.isNull()) {
        document()->addResource(QTextDocument::ImageResource, QUrl(url), image);
        // The picture's size changes the layout, not only the paint.
        document()->markContentsDirty(0, document()->characterCount());
        viewport()->update();
    }
    Q_EMIT imageLoaded(url, !image.isNull());
}

void WebView::mouseReleaseEvent(QMouseEvent* event)
{
    // The link as the page wrote it: the URL that the click reports comes
    // normalised (a "%2E" turned into "."), and the maker's pages expect the
    // query exactly as it was built.
    m_clickedHref = anchorAt(event->position().toPoint());
    QTextBrowser::mouseReleaseEvent(event);
    m_clickedHref.clear();
}

void WebView::followLink(const QUrl& url)
{
    QString href = m_clickedHref;
    if (href.isEmpty()) {
        // Activated from the keyboard: the link is the selected anchor.
        QTextCursor cursor = textCursor();
        cursor.setPosition(cursor.selectionStart());
        cursor.movePosition(QTextCursor::NextCharacter);
        href = cursor.charFormat().anchorHref();
    }
    if (href.isEmpty())
        href = url.toString(QUrl::FullyEncoded);
    href = href.trimmed();
    if (href.startsWith(QLatin1Char('#'))) {
        scrollToAnchor(href.mid(1));
        return;
    }
    const QUrl parsed(href);
    QString address;
    if (parsed.isRelative()) {
        const QUrl base = document()->baseUrl();
        if (!isWebScheme(base.scheme()))
            return;
        address = base.resolved(parsed).toString(QUrl::FullyEncoded);
    } else if (isWebScheme(parsed.scheme())) {
        address = href;
    } else {
        return; // no other kind of link leaves the view (file:, javascript: ...)
    }
    Q_EMIT linkActivated(address);
}

} // namespace platform::ui
