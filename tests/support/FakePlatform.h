#pragma once

#include <functional>
#include <optional>

#include <QHash>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>

#include "platform/PlatformServices.h"

// In-memory stand-ins for the platform services, for tests of the logic above them.

class FakeHotKeys final : public GlobalHotKeys {
public:
    using Combination = QPair<quint32, quint32>; // key code, modifiers

    bool grab(quint32 keyCode, quint32 modifiers, quint32 id) override;
    void ungrab(quint32 keyCode, quint32 modifiers) override;
    void setPressedHandler(PressedHandler handler) override { m_handler = std::move(handler); }

    // Presses the combination as the user would: reported when this process holds it.
    void press(quint32 keyCode, quint32 modifiers);
    bool isGrabbed(quint32 keyCode, quint32 modifiers) const { return m_grabbed.contains({keyCode, modifiers}); }

    QSet<Combination> takenByOthers;

private:
    QHash<Combination, quint32> m_grabbed;
    PressedHandler m_handler;
};

class FakeKeys final : public SyntheticKeys {
public:
    bool modifiersHeld() override;
    bool sendChord(quint32 keyCode, quint32 modifiers) override;

    int heldModifierPolls = 0; // modifiersHeld answers true this many times
    int modifierPolls = 0;
    QList<QPair<quint32, quint32>> chords;
    std::function<void(quint32 keyCode, quint32 modifiers)> onChord; // what the focused application does
};

class FakeClipboard final : public Clipboard {
public:
    Snapshot snapshot() override { return formats; }
    void restore(const Snapshot& snapshot) override;
    quint64 changeCount() override { return changes; }
    std::optional<QString> text() override;
    void setText(const QString& text) override;
    QString selectionText() override { return primary; }

    // What another application does when it copies.
    void copyFromApplication(const Snapshot& newFormats);

    Snapshot formats;
    quint64 changes = 0;
    QString primary;
    int restores = 0;
};

class FakeAccessibility final : public Accessibility {
public:
    bool isTrusted() override { return trusted; }
    std::optional<QString> selectedText() override { return selected; }
    std::optional<QString> value(qsizetype maxLength) override;
    std::optional<Range> selectedRange() override { return range; }
    bool setSelectedText(const QString&) override { return false; }

    bool trusted = true;
    std::optional<QString> selected;
    std::optional<QString> fullText;
    std::optional<Range> range;
};

class FakeWorkspace final : public Workspace {
public:
    std::optional<qint64> frontmostProcessId() override { return frontmost; }
    QString localizedName(qint64 pid) override { return names.value(pid); }
    bool isRunning(qint64 pid) override { return names.contains(pid); }
    bool frontmostIsTerminal() override { return terminalInFront; }
    bool activate(qint64 pid) override { return names.contains(pid); }

    std::optional<qint64> frontmost;
    bool terminalInFront = false;
    QHash<qint64, QString> names; // the running applications
};

// Installs a fresh set of fakes for the lifetime of the object, and nothing afterwards.
class FakePlatform {
public:
    FakePlatform();
    ~FakePlatform();
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

    std::shared_ptr<FakeHotKeys> hotKeys = std::make_shared<FakeHotKeys>();
    std::shared_ptr<FakeKeys> keys = std::make_shared<FakeKeys>();
    std::shared_ptr<FakeClipboard> clipboard = std::make_shared<FakeClipboard>();
    std::shared_ptr<FakeAccessibility> accessibility = std::make_shared<FakeAccessibility>();
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
};
