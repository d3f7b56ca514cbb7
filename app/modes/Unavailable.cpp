#include "app/modes/Modes.h"

#include "app/Out.h"

int reportUnavailable(const char* failVerdict)
{
    out(QString::fromLatin1(failVerdict) + QStringLiteral(": not available in this build"));
    return 1;
}
