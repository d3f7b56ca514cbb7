#include "app/Modes.h"

#include "app/Out.h"

const Mode versionMode = {AppObject::none, nullptr, "print the version and exit", [](const QStringList&) {
                              out(QStringLiteral("quillo " QUILLO_VERSION));
                              return 0;
                          }};
