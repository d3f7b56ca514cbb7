#pragma once

#include <QString>

// Whether a custom cloud address keeps the user's API key private on the way.
namespace EndpointSecurity {

// True for plain http to any host but this machine's own loopback ("localhost", 127.0.0.0/8,
// ::1): every request there carries the key unencrypted across a network. Addresses the cloud
// client refuses anyway (no http or https, no host) are false.
bool sendsKeyInClear(const QString& baseUrl);

// Whether saving or testing `baseUrl` must wait for the user's explicit consent: it sends the
// key in clear and is not the address the user already accepted (`acceptedUrl`: the one stored
// before, or the one confirmed in the window).
bool needsConsent(const QString& baseUrl, const QString& acceptedUrl);

}
