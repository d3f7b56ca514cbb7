#include "platform/PlatformServices.h"

#include <mutex>
#include <utility>

namespace {

std::mutex servicesMutex;
PlatformServices installed;

}

namespace Platform {

void install(PlatformServices services)
{
    std::unique_lock lock(servicesMutex);
    PlatformServices previous = std::exchange(installed, std::move(services));
    lock.unlock(); // the previous services may take a while to shut down
}

PlatformServices services()
{
    std::lock_guard lock(servicesMutex);
    return installed;
}

}
