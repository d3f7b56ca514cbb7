#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <stop_token>

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include "engines/http/TransportError.h"

// The one HTTP client of the program. Every request gets a fresh connection (no cookies, no
// cache, no reuse), certificates are always verified, redirects are not followed (a bearer key
// must never travel to another host) and only http and https are spoken. Calls block the calling
// task; the stop token cancels them at once, from any thread. How an exchange travels
// (HttpTransport.h) is this layer's own business.
namespace Http {

using namespace std::chrono_literals;

struct Request {
    QByteArray method = "GET";
    QString url;
    QList<QByteArray> headers; // "Name: value"
    QByteArray body;
    std::chrono::milliseconds connectTimeout = 10s;
    // No byte received for this long, from the start or since the last one, ends the exchange
    // with `timedOut`; a slow but living stream is never cut. The environment variable
    // SELVANE_HTTP_IDLE_TIMEOUT_MS lowers it for every request (test rigs and stall drills).
    std::chrono::milliseconds idleTimeout = 60s;
    // The whole exchange ends with `timedOut` after this long, however lively the stream: a
    // server that sends only keep-alives must not hold a caller forever. None: no limit.
    std::optional<std::chrono::milliseconds> deadline;

    // A request whose body is the compact JSON of `body`, with its Content-Type.
    static Request json(const QByteArray& method, const QString& url, const QJsonObject& body);
};

struct Response {
    int status = 0;                      // 0 when no response head arrived
    QByteArray body;                     // streamLines: only the body of a status outside 200–299
    std::optional<TransportError> error; // the exchange failed; status tells whether a head came
    bool connected = false;              // the connection stood and the request went out

    bool ok() const { return !error; }
};

// Gets the whole response.
Response fetch(const Request& request, std::stop_token stop = {});

// Called with every line of a 2xx body as it arrives, without its "\n" (or "\r\n"); the last
// line is passed even when the body does not end with a line feed. Return false to stop
// reading: the exchange then ends without error.
using LineHandler = std::function<bool(const QByteArray& line)>;

// Streams the body line by line. A body of any other status is collected in `body` instead.
Response streamLines(const Request& request, const LineHandler& onLine, std::stop_token stop = {});

// True for an absolute http or https URL with a host.
bool isWebUrl(const QString& url);

}
