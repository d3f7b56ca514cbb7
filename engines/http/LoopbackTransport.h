#pragma once

#include "engines/http/HttpTransport.h"

namespace Http {

// Plain http to this machine (127.0.0.0/8, ::1 or "localhost"), over a socket of its own: one
// HTTP/1.1 request per connection, no proxy, no TLS. This is how the program talks to the local
// engine, so a start that only does that loads no HTTP library.
class LoopbackTransport final : public Transport {
public:
    static bool serves(const QString& url);

    Response perform(const Request& request, const LineHandler* onLine, std::stop_token stop) override;
};

}
