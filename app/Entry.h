#pragma once

#include <QStringList>

// What a command-line mode needs before it starts.
enum class AppObject {
    none,    // nothing: pure computation
    core,    // an event loop without a window server
    desktop, // an event loop and the desktop's services (shortcuts, clipboard, selection, keys)
    gui,     // the application object with the window server, and the desktop's services
};

struct Mode {
    AppObject app;
    const char* argument; // the value it takes, for --help; nullptr when none
    const char* usage;    // one line for --help; nullptr for the tray's own child processes
    int (*run)(const QStringList& args);
};

struct EntrySwitch {
    const char* name;
    const Mode* mode;
};

namespace Entry {

// The switches in the order they are tested; the first one present wins.
const QList<EntrySwitch>& switches();

// The mode chosen by the arguments (first element is the program): the first switch of the
// table that equals any argument exactly, else normal mode.
const Mode& choose(const QStringList& args);

// The first argument that looks like a switch ("-x", "--x") but is neither one of the table's nor
// one of Qt's own; the arguments after --ask are its own options. Empty when there is none.
QString unknownSwitch(const QStringList& args);

// Creates what the mode needs and runs it; returns the process's exit status. A mode with an event
// loop ends in order, also after SIGTERM, SIGINT or SIGHUP: the built-in engine it started is
// stopped and the desktop's services are let go, handing our clipboard to a clipboard manager.
int run(const Mode& mode, int& argc, char** argv, const QStringList& args);

}
