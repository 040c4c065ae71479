#include "platform/HttpClient.h"

#include "platform/Errors.h"
#include "platform/UrlParts.h"

#include <QIODevice>
#include <QString>
#include <QThread>

#include <curl/curl.h>

#include <chrono>
#include <exception>
#include <optional>

namespace platform {

using urlparts::Address;
using urlparts::resolveLocation;
using urlparts::splitUrl;

namespace {

using Clock = std::chrono::steady_clock;

void initCurlOnce()
{
    // The first client on any thread sets libcurl up; the statics' own guard
    // makes that safe when two threads get there together.
    static const CURLcode result = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (result != CURLE_OK)
        throw HttpError(std::string("Cannot set up HTTP: ") + curl_easy_strerror(result));
}

bool isRedirect(long status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool startsWithName(const QByteArray& line, const char* name)
{
    const qsizetype n = qsizetype(qstrlen(name));
    return line.size() > n && line[n] == ':' && qstrnicmp(line.constData(), name, n) == 0;
}

} // namespace

struct HttpClient::Handles {
    CURL* easy = nullptr;
    CURLM* multi = nullptr;

    Handles()
    {
        initCurlOnce();
        easy = curl_easy_init();
        multi = curl_multi_init();
        if (!easy || !multi) {
            release();
            throw HttpError("Cannot set up HTTP");
        }
        // An empty cookie file name turns the cookie engine on without
        // reading a file; no jar is ever named, so nothing goes to disk.
        curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
        // A request given up while its host name is still being looked up
        // leaves the lookup to end on its own thread (which then frees it)
        // instead of waiting for it: a stopped worker must not sit out a
        // slow name server.
        curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    }
    ~Handles() { release(); }
    Handles(const Handles&) = delete;
    Handles& operator=(const Handles&) = delete;

    void release()
    {
        if (easy)
            curl_easy_cleanup(easy);
        if (multi)
            curl_multi_cleanup(multi);
        easy = nullptr;
        multi = nullptr;
    }
};

// One hop of a request: what libcurl's callbacks see and decide.
struct HttpClient::Transfer {
    CURL* easy = nullptr;
    QIODevice* sink = nullptr;
    QByteArray* body = nullptr;
    const Progress* progress = nullptr;
    qint64 maxBody = 0;

    qint64 headerBytes = 0; // of every reply on this hop, interim ones too
    qint64 announced = -1;
    bool chunked = false;
    QByteArray location;
    bool begun = false;
    bool redirect = false;
    qint64 received = 0;
    QString failure;
    std::exception_ptr thrown;
    Clock::time_point lastActivity = Clock::now();

    size_t fail(const QString& why)
    {
        if (failure.isEmpty())
            failure = why;
        return 0; // libcurl ends the transfer
    }

    QString tooLarge() const { return QStringLiteral("The reply is larger than the limit of %1 bytes").arg(maxBody); }

    size_t onHeader(const char* data, size_t size)
    {
        lastActivity = Clock::now();
        const QByteArray line = QByteArray::fromRawData(data, qsizetype(size));
        if (line.startsWith("HTTP/")) { // a reply begins (after an interim one too)
            announced = -1;
            chunked = false;
            location.clear();
        }
        headerBytes += qint64(size);
        if (headerBytes > kMaxHeaderBytes)
            return fail(QStringLiteral("The reply's header is longer than %1 bytes").arg(kMaxHeaderBytes));
        const QByteArray trimmed = line.trimmed();
        if (startsWithName(trimmed, "Location")) {
            location = trimmed.mid(9).trimmed();
        } else if (startsWithName(trimmed, "Content-Length")) {
            bool ok = false;
            const qint64 length = trimmed.mid(15).trimmed().toLongLong(&ok);
            announced = ok && length >= 0 ? length : -1;
        } else if (startsWithName(trimmed, "Transfer-Encoding")) {
            chunked = trimmed.toLower().contains("chunked");
        }
        if (!trimmed.isEmpty())
            return size;

        // The blank line: this reply's headers are complete.
        long status = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        if (status >= 100 && status < 200)
            return size; // an interim reply; the real one follows
        if (isRedirect(status) && !location.isEmpty()) {
            redirect = true;
            return 0; // its body is of no interest
        }
        if (status < 200 || status >= 300)
            return fail(QStringLiteral("HTTP error %1").arg(status));
        const qint64 total = chunked ? -1 : announced;
        if (total > maxBody)
            return fail(tooLarge());
        begun = true;
        if (progress && progress->begin)
            progress->begin(qMax<qint64>(total, 0));
        return size;
    }

    size_t onBody(const char* data, size_t size)
    {
        lastActivity = Clock::now();
        if (!begun || size == 0)
            return size;
        if (qint64(size) > maxBody - received)
            return fail(tooLarge());
        received += qint64(size);
        if (body)
            body->append(data, qsizetype(size));
        if (sink && sink->write(data, qint64(size)) != qint64(size))
            return fail(QStringLiteral("Cannot write the downloaded data: %1").arg(sink->errorString()));
        if (progress && progress->progress)
            progress->progress(received);
        return size;
    }

    // Nothing may unwind through libcurl: what a callback throws (a full
    // memory, a throwing progress handler) waits here until it returns.
    template <typename F> size_t guarded(F&& f)
    {
        try {
            return f();
        } catch (...) {
            if (!thrown)
                thrown = std::current_exception();
            return 0;
        }
    }

    static size_t headerCallback(char* data, size_t size, size_t count, void* self)
    {
        auto* t = static_cast<Transfer*>(self);
        return t->guarded([&] { return t->onHeader(data, size * count); });
    }
    static size_t bodyCallback(char* data, size_t size, size_t count, void* self)
    {
        auto* t = static_cast<Transfer*>(self);
        return t->guarded([&] { return t->onBody(data, size * count); });
    }
};

HttpClient::HttpClient() : m_handles(std::make_unique<Handles>()) {}

HttpClient::~HttpClient() = default;

void HttpClient::setHeader(const QByteArray& name, const QByteArray& value)
{
    for (auto& header : m_headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0) {
            header.second = value;
            return;
        }
    }
    m_headers.append({name, value});
}

void HttpClient::setTimeouts(int inactivityMs, int totalMs)
{
    m_inactivityMs = inactivityMs;
    m_totalMs = totalMs;
}

QByteArray HttpClient::get(const QByteArray& url)
{
    QByteArray body;
    run(url, nullptr, &body, nullptr, m_maxBodyBytes >= 0 ? m_maxBodyBytes : kMaxReplyBytes);
    return body;
}

void HttpClient::download(const QByteArray& url, QIODevice& sink, const Progress& progress)
{
    run(url, &sink, nullptr, &progress, m_maxBodyBytes >= 0 ? m_maxBodyBytes : kMaxDownloadBytes);
}

namespace {

struct HeaderList {
    curl_slist* list = nullptr;
    ~HeaderList() { curl_slist_free_all(list); }
    void add(const QByteArray& line)
    {
        curl_slist* grown = curl_slist_append(list, line.constData());
        if (!grown)
            throw std::bad_alloc();
        list = grown;
    }
};

// Takes the transfer off the multi handle however the hop ends; a transfer
// taken off before its end has its connection closed.
struct Attached {
    CURLM* multi;
    CURL* easy;
    ~Attached()
    {
        curl_multi_remove_handle(multi, easy);
        // The handle outlives this hop's buffers and header list.
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, nullptr);
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, nullptr);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, nullptr);
    }
};

} // namespace

void HttpClient::run(QByteArray url, QIODevice* sink, QByteArray* body, const Progress* progress, qint64 maxBody)
{
    CURL* const easy = m_handles->easy;
    CURLM* const multi = m_handles->multi;
    const Clock::time_point started = Clock::now();
    const auto inactivity = std::chrono::milliseconds(m_inactivityMs);
    const auto total = std::chrono::milliseconds(m_totalMs);
    QThread* const thread = QThread::currentThread();

    HeaderList headers;
    bool accept = false;
    for (const auto& [name, value] : m_headers) {
        headers.add(name + ": " + value);
        accept = accept || name.compare("Accept", Qt::CaseInsensitive) == 0;
    }
    if (!accept)
        headers.add("Accept:"); // no header the caller did not ask for

    std::optional<Address> address = splitUrl(url);
    for (int redirects = 0;; ++redirects) {
        if (!address)
            throw HttpError("Invalid URL: " + url.toStdString());

        Transfer t;
        t.easy = easy;
        t.sink = sink;
        t.body = body;
        t.progress = progress;
        t.maxBody = maxBody;
        char curlError[CURL_ERROR_SIZE] = {};

        // Set in full for every hop: the handle keeps options between requests.
        curl_easy_setopt(easy, CURLOPT_URL, url.constData());
        // The path and query exactly as given: no "." or ".." taken out.
        curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L); // followed below, to keep their bytes
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L); // other threads run: no signals
        curl_easy_setopt(easy, CURLOPT_USERAGENT, m_userAgent.isEmpty() ? nullptr : m_userAgent.constData());
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.list);
        curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
        curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(maxBody));
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Transfer::headerCallback);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, &t);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::bodyCallback);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, curlError);

        CURLcode result = CURLE_OK;
        {
            if (curl_multi_add_handle(multi, easy) != CURLM_OK)
                throw HttpError("Cannot start the request");
            Attached attached{multi, easy};
            for (;;) {
                int running = 0;
                if (curl_multi_perform(multi, &running) != CURLM_OK) {
                    t.fail(QStringLiteral("The request failed"));
                    break;
                }
                if (running == 0) {
                    int queued = 0;
                    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
                        if (message->msg == CURLMSG_DONE && message->easy_handle == easy)
                            result = message->data.result;
                    }
                    break;
                }
                // A worker asked to stop gives up its request instead of waiting for it.
                if (thread->isInterruptionRequested()) {
                    t.fail(QStringLiteral("The request was cancelled"));
                    break;
                }
                const Clock::time_point now = Clock::now();
                if (now - t.lastActivity >= inactivity || (m_totalMs > 0 && now - started >= total)) {
                    t.fail(QStringLiteral("The request timed out"));
                    break;
                }
                curl_multi_poll(multi, nullptr, 0, kInterruptPollMs, nullptr);
            }
        }

        if (t.thrown)
            std::rethrow_exception(t.thrown);
        if (t.redirect) {
            if (redirects >= kMaxRedirects)
                throw HttpError("Too many redirects");
            url = resolveLocation(*address, t.location);
            std::optional<Address> next = splitUrl(url);
            if (next && !mayFollow(*address, next))
                throw HttpError("A redirect from https to http is refused: " + url.toStdString());
            address = std::move(next);
            continue;
        }
        if (!t.failure.isEmpty())
            throw HttpError(t.failure.toStdString());
        if (result != CURLE_OK) {
            throw HttpError(std::string(curl_easy_strerror(result)) +
                            (curlError[0] ? std::string(": ") + curlError : std::string()));
        }
        if (!t.begun)
            throw HttpError("The request did not complete");
        if (progress && progress->end)
            progress->end();
        return;
    }
}

} // namespace platform
