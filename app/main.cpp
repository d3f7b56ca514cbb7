#include <cstdio>

#include "app/Entry.h"

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (const QString unknown = Entry::unknownSwitch(args); !unknown.isEmpty()) {
        std::fprintf(stderr, "quillo: unknown switch %s (see quillo --help)\n", qPrintable(unknown));
        return 2;
    }
    return Entry::run(Entry::choose(args), argc, argv, args);
}
