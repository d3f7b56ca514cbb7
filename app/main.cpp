#include "app/Entry.h"

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return Entry::run(Entry::choose(args), argc, argv, args);
}
