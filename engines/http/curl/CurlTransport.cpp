#include <memory>

#include <curl/curl.h>
#include <ifaddrs.h>
#include <net/if.h>

#include "engines/http/BodyLines.h"
#include "engines/http/HttpTransport.h"

// Every exchange that is not plain http to this machine: https, other hosts, proxies.
namespace Http {

namespace {

using Clock = std::chrono::steady_clock;

// Whether any interface other than loopback is up with an address: without one, a name that
// cannot be resolved means "offline", not "no such host".
bool hasNetworkInterface()
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return true;
    bool found = false;
    for (const ifaddrs* entry = list; entry && !found; entry = entry->ifa_next) {
        const unsigned flags = entry->ifa_flags;
        found = entry->ifa_addr && (entry->ifa_addr->sa_family == AF_INET || entry->ifa_addr->sa_family == AF_INET6)
            && (flags & IFF_UP) && (flags & IFF_RUNNING) && !(flags & IFF_LOOPBACK);
    }
    freeifaddrs(list);
    return found;
}

TransportError transportErrorFor(CURLcode code, const char* explanation)
{
    using Code = TransportError::Code;
    Code mapped = Code::other;
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
        mapped = hasNetworkInterface() ? Code::cannotFindHost : Code::notConnectedToInternet;
        break;
    case CURLE_COULDNT_RESOLVE_PROXY: mapped = Code::dnsLookupFailed; break;
    case CURLE_COULDNT_CONNECT: mapped = Code::cannotConnectToHost; break;
    case CURLE_OPERATION_TIMEDOUT: mapped = Code::timedOut; break;
    case CURLE_PEER_FAILED_VERIFICATION: mapped = Code::untrustedCertificate; break;
    case CURLE_ABORTED_BY_CALLBACK: mapped = Code::cancelled; break;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM: mapped = Code::networkConnectionLost; break;
    default: break;
    }
    const QString detail =
        explanation && *explanation ? QString::fromUtf8(explanation) : QString::fromUtf8(curl_easy_strerror(code));
    return {mapped, detail};
}

// Loopback never goes through a proxy, whatever the environment says about other hosts.
QByteArray noProxyList()
{
    QByteArray list = qgetenv("no_proxy");
    if (list.isEmpty())
        list = qgetenv("NO_PROXY");
    if (!list.isEmpty())
        list += ',';
    return list + "localhost,127.0.0.1,::1";
}

struct Transfer {
    CURL* easy = nullptr;
    const LineHandler* onLine = nullptr;
    Clock::time_point lastActivity = Clock::now();
    Response response;
    std::optional<BodyLines> lines; // a 2xx body being streamed
    bool stoppedByHandler = false;
};

// libcurl calls it once the connection stands, right before the request goes out.
int onConnected(void* context, char*, char*, int, int)
{
    static_cast<Transfer*>(context)->response.connected = true;
    return CURL_PREREQFUNC_OK;
}

size_t onHeader(char*, size_t size, size_t count, void* context)
{
    static_cast<Transfer*>(context)->lastActivity = Clock::now();
    return size * count;
}

size_t onBody(char* data, size_t size, size_t count, void* context)
{
    auto* transfer = static_cast<Transfer*>(context);
    transfer->lastActivity = Clock::now();
    if (transfer->response.status == 0) {
        long status = 0;
        curl_easy_getinfo(transfer->easy, CURLINFO_RESPONSE_CODE, &status);
        transfer->response.status = int(status);
        if (transfer->onLine && status >= 200 && status < 300)
            transfer->lines.emplace(*transfer->onLine);
    }
    const size_t bytes = size * count;
    if (!transfer->lines) {
        transfer->response.body.append(data, qsizetype(bytes));
        return bytes;
    }
    if (transfer->lines->take(QByteArrayView(data, qsizetype(bytes))))
        return bytes;
    transfer->stoppedByHandler = true;
    return 0; // makes libcurl end the transfer
}

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct HeaderListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

void configure(CURL* easy, const Request& request, curl_slist* headers, Transfer& transfer, char* errorBuffer)
{
    const QByteArray url = request.url.toUtf8();
    curl_easy_setopt(easy, CURLOPT_URL, url.constData()); // libcurl copies strings it is given
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(easy, CURLOPT_NOPROXY, noProxyList().constData());
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "Quillo/" QUILLO_VERSION);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, long(request.connectTimeout.count()));
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, onConnected);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, &transfer);
    if (request.method == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (request.method != "GET" || !request.body.isEmpty()) {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.size()));
        curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, request.body.constData());
        if (request.method != "POST")
            curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.method.constData());
    }
}

Response performWithCurl(const Request& request, const LineHandler* onLine, std::stop_token stop)
{
    Transfer transfer;
    transfer.onLine = onLine;

    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    curl_slist* headerList = nullptr;
    for (const QByteArray& header : request.headers)
        headerList = curl_slist_append(headerList, header.constData());
    headerList = curl_slist_append(headerList, "Expect:"); // no 100-continue round trip
    std::unique_ptr<curl_slist, HeaderListDeleter> headers(headerList);
    char errorBuffer[CURL_ERROR_SIZE] = {};
    transfer.easy = easy.get();
    configure(easy.get(), request, headers.get(), transfer, errorBuffer);
    curl_multi_add_handle(multi.get(), easy.get());

    const std::chrono::milliseconds idleTimeout = request.idleTimeout;
    const Clock::time_point started = Clock::now();
    std::optional<TransportError> failure;
    {
        // Wakes the wait below the moment someone asks to stop.
        std::stop_callback wake(stop, [&multi] { curl_multi_wakeup(multi.get()); });
        int running = 1;
        while (!failure) {
            if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
                failure =
                    TransportError{TransportError::Code::other, QStringLiteral("the transfer could not be driven")};
                break;
            }
            if (!running)
                break;
            if (stop.stop_requested()) {
                failure = TransportError{TransportError::Code::cancelled, {}};
                break;
            }
            const Clock::time_point now = Clock::now();
            const auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(now - transfer.lastActivity);
            if (idle >= idleTimeout) {
                failure = TransportError{TransportError::Code::timedOut,
                                         QStringLiteral("no data for %1 ms").arg(idleTimeout.count())};
                break;
            }
            std::chrono::milliseconds wait = idleTimeout - idle;
            if (request.deadline) {
                const auto taken = std::chrono::duration_cast<std::chrono::milliseconds>(now - started);
                if (taken >= *request.deadline) {
                    failure =
                        TransportError{TransportError::Code::timedOut,
                                       QStringLiteral("not finished within %1 ms").arg(request.deadline->count())};
                    break;
                }
                wait = std::min(wait, *request.deadline - taken);
            }
            curl_multi_poll(multi.get(), nullptr, 0, int(std::max<qint64>(1, wait.count())), nullptr);
        }
    }
    if (!failure) {
        int queued = 0;
        CURLcode result = CURLE_OK;
        while (const CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
            if (message->msg == CURLMSG_DONE)
                result = message->data.result;
        }
        if (transfer.response.status == 0) {
            long status = 0;
            curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
            transfer.response.status = int(status);
        }
        if (result != CURLE_OK && !(result == CURLE_WRITE_ERROR && transfer.stoppedByHandler))
            failure = transportErrorFor(result, errorBuffer);
        else if (transfer.lines && !transfer.stoppedByHandler)
            transfer.lines->finish();
    }
    curl_multi_remove_handle(multi.get(), easy.get());
    transfer.response.error = failure;
    return transfer.response;
}

}

class CurlTransport final : public Transport {
public:
    // libcurl sets itself up safely from any thread (it reports CURL_VERSION_THREADSAFE on every
    // distribution we build for), so whichever task first needs it does it.
    CurlTransport() { curl_global_init(CURL_GLOBAL_DEFAULT); }

    Response perform(const Request& request, const LineHandler* onLine, std::stop_token stop) override
    {
        return performWithCurl(request, onLine, std::move(stop));
    }
};

}

Http::Transport* quillo_open_web_transport()
{
    static Http::CurlTransport transport;
    return &transport;
}
