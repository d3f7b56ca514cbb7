#pragma once

#include <QString>
#include <QUrl>

// The directory every file of the program is placed under. HOME wins when set and not empty,
// so a scratch HOME keeps tests and experiments out of the real home directory.
class HomeDir {
public:
    static QString path();
    static QUrl url();
    // ~/.selvane: settings, knowledge base and profile live here.
    static QString dataDir();
};
