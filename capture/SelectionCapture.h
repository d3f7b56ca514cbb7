#pragma once

#include <optional>

#include <QString>

// Reads the text the user selected in another application, with a little of the text around
// it, and writes a replacement back.
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

    static constexpr int contextSideLimit = 400;   // UTF-16 units on each side of the selection
    static constexpr int contextTotalLimit = 1000; // characters (grapheme clusters) on both sides together
    static constexpr int maxContextSourceLength = 200000; // longest focused value examined, UTF-16 units

    // The text around a selection, cut at sentence boundaries. Offsets are UTF-16 units. Nothing
    // when the range cannot be trusted (out of bounds, or stale against the selected text).
    static std::optional<Context> contextWindow(const QString& fullText, qsizetype selLocation,
                                                qsizetype selLength, const QString& selectedText);
};
