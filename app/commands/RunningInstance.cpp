#include "app/commands/RunningInstance.h"

#include "app/Out.h"

int sendToRunningInstance(SingleInstance::Command command)
{
    switch (SingleInstance::send(command)) {
    case SingleInstance::Delivery::delivered: return 0;
    case SingleInstance::Delivery::notRunning:
        out(QStringLiteral("quillo: Quillo is not running in this session (start it with `quillo`)"));
        break;
    case SingleInstance::Delivery::notAnswering:
        // The call stays queued: a stopped instance that is continued still carries it out.
        out(QStringLiteral("quillo: Quillo is running but not answering (stopped or busy); it may still carry this out "
                           "when it resumes"));
        break;
    case SingleInstance::Delivery::unreachable:
        out(QStringLiteral("quillo: Quillo is running, but not on this session bus, so it cannot be reached"));
        break;
    }
    return 1;
}
