#pragma once

#include <QString>
#include <QUrl>

// The directory every file of the program is placed under. HOME wins when set and not empty,
// so a scratch HOME keeps tests and experiments out of the real home directory.
class HomeDir {
public:
    static QString path();
    static QUrl url();
    // ~/.selvane: settings (with the API keys), knowledge base and profile live here.
    static QString dataDir();

    // Creates ~/.selvane with mode 0700 when it is missing, then tightens it as below. True when
    // it is a directory afterwards.
    static bool ensureDataDir();
    // Takes group and other access away from ~/.selvane when it has any, whoever made it so.
    // Only a real directory owned by this user is changed, never the target of a link.
    static void tightenDataDir();
};
