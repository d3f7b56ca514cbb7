#pragma once

#include <stop_token>

#include "engines/http/Http.h"

namespace Http {

// One way of carrying an exchange. Http.cpp picks it: loopback http is spoken directly over a
// socket (LoopbackTransport), everything else through libcurl, which lives with its TLS stack in a
// module of its own (quillo_curl.so, beside the program's other private libraries) loaded at the
// first such request: a tray that only ever talks to the local engine neither maps the TLS
// libraries nor pays for linking them at every start.
class Transport {
public:
    virtual ~Transport() = default;
    // `onLine` null: the whole body; otherwise lines of a 2xx body. The request's headers hold no
    // line break and its idle timeout is the effective one.
    virtual Response perform(const Request& request, const LineHandler* onLine, std::stop_token stop) = 0;
};

}

// What the module exports; declared here so its definition there must match what Http.cpp calls.
// The transport lives as long as the process.
extern "C" __attribute__((visibility("default"))) Http::Transport* quillo_open_web_transport();
