#include <cstdio>

#include <malloc.h>

#include "app/Entry.h"

int main(int argc, char** argv)
{
    // Fixed thresholds instead of glibc's adaptive ones, which rise for good once a large block is
    // freed: the memory a recognition's models or a long answer used would then stay with the
    // tray for its whole life (76 MB after use instead of 68, recognition no slower).
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    mallopt(M_TRIM_THRESHOLD, 128 * 1024);
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (const QString unknown = Entry::unknownSwitch(args); !unknown.isEmpty()) {
        std::fprintf(stderr, "quillo: unknown switch %s (see quillo --help)\n", qPrintable(unknown));
        return 2;
    }
    return Entry::run(Entry::choose(args), argc, argv, args);
}
