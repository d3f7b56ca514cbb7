#include "engines/http/Http.h"

#include <algorithm>

#include <QJsonDocument>
#include <QUrl>

#include "engines/http/LoopbackTransport.h"
#include "settings/AppBundle.h"

namespace Http {

namespace {

std::chrono::milliseconds effectiveIdleTimeout(std::chrono::milliseconds requested)
{
    bool valid = false;
    const int cap = qEnvironmentVariableIntValue("SELVANE_HTTP_IDLE_TIMEOUT_MS", &valid);
    return valid && cap > 0 ? std::min(requested, std::chrono::milliseconds(cap)) : requested;
}

Transport* webTransport()
{
    static Transport* const transport = [] {
        const auto open = reinterpret_cast<decltype(&quillo_open_web_transport)>(
            AppBundle::moduleSymbol("quillo_curl.so", "quillo_open_web_transport"));
        return open ? open() : nullptr;
    }();
    return transport;
}

Response perform(const Request& request, const LineHandler* onLine, std::stop_token stop)
{
    using Code = TransportError::Code;
    if (stop.stop_requested())
        return {0, {}, TransportError{Code::cancelled, {}}};
    // A line break inside a header would let its value forge further headers.
    for (const QByteArray& header : request.headers) {
        if (header.contains('\r') || header.contains('\n'))
            return {0, {}, TransportError{Code::other, QStringLiteral("a request header holds a line break")}};
    }
    Request effective = request;
    effective.idleTimeout = effectiveIdleTimeout(request.idleTimeout);
    if (LoopbackTransport::serves(request.url))
        return LoopbackTransport().perform(effective, onLine, std::move(stop));
    Transport* web = webTransport();
    if (!web)
        return {0, {}, TransportError{Code::other, QStringLiteral("the program's HTTPS module could not be loaded")}};
    return web->perform(effective, onLine, std::move(stop));
}

}

Request Request::json(const QByteArray& method, const QString& url, const QJsonObject& body)
{
    Request request;
    request.method = method;
    request.url = url;
    request.headers = {QByteArrayLiteral("Content-Type: application/json")};
    request.body = QJsonDocument(body).toJson(QJsonDocument::Compact);
    return request;
}

Response fetch(const Request& request, std::stop_token stop)
{
    return perform(request, nullptr, std::move(stop));
}

Response streamLines(const Request& request, const LineHandler& onLine, std::stop_token stop)
{
    return perform(request, &onLine, std::move(stop));
}

bool isWebUrl(const QString& url)
{
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    return parsed.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        && !parsed.host().isEmpty();
}

}
