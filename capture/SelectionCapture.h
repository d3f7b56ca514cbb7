#pragma once

#include <optional>
#include <stop_token>

#include <QString>

#include "platform/PlatformServices.h"

// Reads the text the user selected in another application, with a little of the text around
// it (capture/PutBack writes an answer back).
class SelectionCapture {
public:
    struct Result {
        QString text;   // exactly as read: not trimmed, never blank
        QString method; // "AX", "复制" or "OCR"
        std::optional<QString> contextBefore;
        std::optional<QString> contextAfter;
    };

    struct Context {
        QString before;
        QString after;
    };

    static constexpr int contextSideLimit = 400;          // UTF-16 units on each side of the selection
    static constexpr int contextTotalLimit = 1000;        // characters (grapheme clusters) on both sides together
    static constexpr int maxContextSourceLength = 200000; // longest focused value examined, UTF-16 units

    static inline const QString methodAX = QStringLiteral("AX");
    static inline const QString methodCopy = QStringLiteral("复制");

    // What accessibility says. `certain` when the focused element itself reports that nothing is
    // selected: then no other way of reading is tried (an older selection may linger elsewhere).
    struct AXAnswer {
        std::optional<Result> result;
        bool certain = false;
    };

    // The focused element's selection and the text around it. Main thread.
    static AXAnswer askAX(Accessibility& accessibility);
    static std::optional<Result> captureViaAX(Accessibility& accessibility) { return askAX(accessibility).result; }

    // The primary selection when the application in front holds it; else a simulated Control+C with the clipboard put
    // back afterwards (never into a terminal, nor where no key can be sent, nor where keys need the user's leave
    // and userAllowsKeys is false). Blocks for up to about 1.4 s, so it belongs on a background thread; a stop ends
    // its waits early, and a clipboard it changed is still put back.
    static std::optional<Result> captureViaCopy(const PlatformServices& platform, std::stop_token stop = {},
                                                bool userAllowsKeys = false);

    // The text around a selection, cut at sentence boundaries. Offsets are UTF-16 units. Nothing
    // when the range cannot be trusted (out of bounds, or stale against the selected text).
    static std::optional<Context> contextWindow(const QString& fullText, qsizetype selLocation, qsizetype selLength,
                                                const QString& selectedText);
};
