#include "engines/http/TransportError.h"

QString TransportError::description() const
{
    const char* sentence = "The request failed.";
    switch (code) {
    case Code::notConnectedToInternet: sentence = "The Internet connection appears to be offline."; break;
    case Code::networkConnectionLost: sentence = "The network connection was lost."; break;
    case Code::cannotConnectToHost: sentence = "Could not connect to the server."; break;
    case Code::cannotFindHost: sentence = "A server with the specified hostname could not be found."; break;
    case Code::dnsLookupFailed: sentence = "The DNS lookup failed."; break;
    case Code::timedOut: sentence = "The request timed out."; break;
    case Code::untrustedCertificate: sentence = "The server's certificate is not trusted."; break;
    case Code::cancelled: sentence = "The request was cancelled."; break;
    case Code::other: break;
    }
    const QString text = QString::fromLatin1(sentence);
    return detail.isEmpty() ? text : text + QStringLiteral(" (") + detail + QLatin1Char(')');
}
