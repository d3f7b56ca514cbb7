#pragma once

#include <functional>
#include <ostream>
#include <thread>

#include <QStringList>

#include "engines/ChatResult.h"
#include "tests/support/Printers.h"

inline void PrintTo(const QwenError& error, std::ostream* os) { *os << error.description().toStdString(); }
inline void PrintTo(const CloudError& error, std::ostream* os) { *os << error.description().toStdString(); }

// A streamed call with the fragments it delivered.
struct Streamed {
    ChatResult result;
    QStringList fragments;
};

inline Streamed collectStream(const std::function<ChatResult(const DeltaHandler&)>& call)
{
    Streamed streamed;
    streamed.result = call([&streamed](const QString& fragment) { streamed.fragments.append(fragment); });
    return streamed;
}

// Stops the source from another thread 200 ms after the first fragment arrived, while the call
// is waiting for more.
class StopAfterFirstFragment {
public:
    std::stop_source source;

    DeltaHandler handler(QStringList& fragments)
    {
        return [this, &fragments](const QString& fragment) {
            fragments.append(fragment);
            if (!m_stopper.joinable())
                m_stopper = std::jthread([this] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(200));
                    source.request_stop();
                });
        };
    }

private:
    std::jthread m_stopper;
};
