#pragma once

#include <optional>

#include <QString>

// The accessibility service, asked about the element that has the keyboard focus in the
// frontmost application. Main thread only. Offsets and lengths are UTF-16 units.
class Accessibility {
public:
    struct Range {
        qsizetype location = 0;
        qsizetype length = 0;
    };

    virtual ~Accessibility() = default;

    // Whether the selection services of this session can be used at all.
    virtual bool isTrusted() = 0;
    virtual std::optional<QString> selectedText() = 0;
    // The element's whole text; nothing when it is longer than maxLength.
    virtual std::optional<QString> value(qsizetype maxLength) = 0;
    virtual std::optional<Range> selectedRange() = 0;
    // Replaces the selection (or inserts at the caret); false when the element is not editable.
    virtual bool setSelectedText(const QString& text) = 0;
};
