#include "settings/EndpointSecurity.h"

#include <arpa/inet.h>

#include <QUrl>

namespace {

bool isLoopbackHost(QString host)
{
    if (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QByteArray text = host.toLatin1();
    in_addr v4;
    if (::inet_pton(AF_INET, text.constData(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6;
    if (::inet_pton(AF_INET6, text.constData(), &v6) == 1)
        return IN6_IS_ADDR_LOOPBACK(&v6) || (IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127);
    return false;
}

}

namespace EndpointSecurity {

bool sendsKeyInClear(const QString& baseUrl)
{
    const QUrl url(baseUrl.trimmed(), QUrl::StrictMode);
    return url.isValid() && url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0
        && !url.host().isEmpty() && !isLoopbackHost(url.host());
}

bool needsConsent(const QString& baseUrl, const QString& acceptedUrl)
{
    return sendsKeyInClear(baseUrl) && baseUrl.trimmed() != acceptedUrl.trimmed();
}

}
