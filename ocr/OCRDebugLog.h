#pragma once

#include <QString>

// The diagnostic log of screen recognition, ~/.selvane/ocr-debug.log: one line per call,
// "[<ISO 8601 time with milliseconds and zone>] <message>". Past 1 MB the file becomes
// ocr-debug.log.1 (replacing an older one) and a new file starts, so it never grows without limit.
class OCRDebugLog {
public:
    // Appends asynchronously, in call order; failures are ignored.
    static void log(const QString& message);
    // Waits until every line logged so far is written (tests, and before the program ends).
    static void flush();
};
