#pragma once

#include <functional>

#include <QHash>
#include <QSet>

#include "core/Shortcut.h"
#include "platform/PlatformServices.h"

// In-memory stand-ins for the platform services, for tests of the logic above them.

class FakeHotKeys final : public GlobalHotKeys {
public:
    bool grab(quint32 keyCode, quint32 modifiers, quint32 id) override
    {
        if (m_takenByOthers.contains({keyCode, modifiers}) || m_grabbed.contains({keyCode, modifiers}))
            return false;
        m_grabbed.insert({keyCode, modifiers}, id);
        return true;
    }
    void ungrab(quint32 keyCode, quint32 modifiers) override { m_grabbed.remove({keyCode, modifiers}); }
    void setPressedHandler(PressedHandler handler) override { m_handler = std::move(handler); }

    // Presses the combination as the user would: reported when this process holds it.
    void press(Shortcut shortcut)
    {
        if (const auto it = m_grabbed.constFind({shortcut.keyCode, shortcut.modifiers});
            it != m_grabbed.constEnd() && m_handler)
            m_handler(*it);
    }
    bool isGrabbed(Shortcut shortcut) const { return m_grabbed.contains({shortcut.keyCode, shortcut.modifiers}); }
    void takeElsewhere(Shortcut shortcut) { m_takenByOthers.insert({shortcut.keyCode, shortcut.modifiers}); }

private:
    QSet<QPair<quint32, quint32>> m_takenByOthers;
    QHash<QPair<quint32, quint32>, quint32> m_grabbed; // the id of each
    PressedHandler m_handler;
};

class FakeKeys final : public SyntheticKeys {
public:
    bool canSend() override { return sendable; }
    bool needsLeave() override { return leave; }
    void prepare(bool, Ready ready) override { ready(sendable); }
    bool modifiersHeld() override { return modifierPolls++ < heldModifierPolls; }
    bool sendChord(quint32 keyCode, quint32 modifiers) override
    {
        if (!delivers)
            return false;
        chords.append({keyCode, modifiers});
        if (onChord)
            onChord({keyCode, modifiers});
        return true;
    }

    bool sendable = true;
    bool delivers = true;      // false: the display refuses the keys
    bool leave = false;        // true: keys as on Wayland, only with the user's leave
    int heldModifierPolls = 0; // modifiersHeld answers true this many times
    int modifierPolls = 0;
    QList<Shortcut> chords;
    std::function<void(Shortcut)> onChord; // what the focused application does
};

// Plain text is kept as "text/plain".
class FakeClipboard final : public Clipboard {
public:
    Snapshot snapshot() override { return ++snapshots, formats; }
    void restore(const Snapshot& snapshot) override { copyFromApplication(snapshot), ++restores; }
    quint64 changeCount() override { return changes; }
    std::optional<QString> text() override
    {
        const auto plain =
            std::find_if(formats.cbegin(), formats.cend(), [](const Format& f) { return f.type == u"text/plain"; });
        return plain == formats.cend() ? std::nullopt : std::optional(QString::fromUtf8(plain->data));
    }
    void setText(const QString& text) override { copyFromApplication({{QStringLiteral("text/plain"), text.toUtf8()}}); }
    QString selectionText() override { return primary; }

    // What another application does when it copies.
    void copyFromApplication(const Snapshot& newFormats) { formats = newFormats, ++changes; }

    Snapshot formats;
    quint64 changes = 0;
    QString primary;
    int restores = 0;
    int snapshots = 0;
};

class FakeAccessibility final : public Accessibility {
public:
    bool isTrusted() override { return trusted; }
    std::optional<QString> selectedText() override { return selected; }
    std::optional<QString> value(qsizetype limit) override
    {
        return fullText && fullText->size() > limit ? std::nullopt : fullText;
    }
    std::optional<Range> selectedRange() override { return range; }
    bool setSelectedText(const QString& text) override
    {
        if (writable)
            written = text;
        return writable;
    }

    bool writable = false; // whether the focused element takes a replacement
    QString written;
    std::optional<QString> selected;
    std::optional<QString> fullText;
    std::optional<Range> range;
    bool trusted = true;
};

class FakeWorkspace final : public Workspace {
public:
    std::optional<qint64> frontmostProcessId() override { return frontmost; }
    QString localizedName(qint64 pid) override { return names.value(pid); }
    bool isRunning(qint64 pid) override { return names.contains(pid); }
    bool frontmostIsTerminal() override { return terminalInFront; }
    bool activate(qint64 pid) override
    {
        activated.append(pid);
        return names.contains(pid);
    }

    std::optional<qint64> frontmost;
    bool terminalInFront = false;
    QHash<qint64, QString> names; // the running applications
    QList<qint64> activated;
};

// A fresh set of fakes, installed for the lifetime of the object; the do-nothing services after.
class FakePlatform {
public:
    FakePlatform() { Platform::install(services()); }
    ~FakePlatform() { Platform::install({}); }
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

    std::shared_ptr<FakeHotKeys> hotKeys = std::make_shared<FakeHotKeys>();
    std::shared_ptr<FakeKeys> keys = std::make_shared<FakeKeys>();
    std::shared_ptr<FakeClipboard> clipboard = std::make_shared<FakeClipboard>();
    std::shared_ptr<FakeAccessibility> accessibility = std::make_shared<FakeAccessibility>();
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    PlatformServices services() const { return {hotKeys, keys, clipboard, accessibility, workspace, {}, {}, {}, {}}; }
};
