#pragma once

#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>

// The clipboard (what copy and paste use) and the primary selection (the text currently
// selected anywhere). Every call may be made from any thread and waits a bounded time for the
// owning application to answer.
class Clipboard {
public:
    struct Format {
        QString type; // the format's name, as the system names it (for example "text/html")
        QByteArray data;
        bool operator==(const Format&) const = default;
    };
    using Snapshot = QList<Format>;

    virtual ~Clipboard() = default;

    // Every format of the clipboard worth putting back; empty when the clipboard is empty.
    virtual Snapshot snapshot() = 0;
    // Puts the formats back exactly; an empty snapshot leaves the clipboard empty.
    virtual void restore(const Snapshot& snapshot) = 0;
    // Grows whenever an application puts something new on the clipboard.
    virtual quint64 changeCount() = 0;
    // The clipboard's plain text; nothing when it holds none.
    virtual std::optional<QString> text() = 0;
    virtual void setText(const QString& text) = 0;
    // The primary selection's text; empty when there is none.
    virtual QString selectionText() = 0;
};
