// Every way of putting an answer back, on the faked platform: what is reported, where the
// answer went, and what the user's desktop saw.
#include <gtest/gtest.h>

#include "capture/PasteWhenBack.h"
#include "capture/PutBack.h"
#include "core/KeyFormatter.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/Printers.h"

namespace {

const QString answer = QStringLiteral("新答案 🎉"), usersOwn = QStringLiteral("the user's own text");
constexpr qint64 editor = 4242, quitEditor = 4343;

struct Case {
    const char* name;
    QString text;
    std::optional<qint64> target;
    bool writable, sendable, delivers; // accessibility takes text, keys can be sent, the display delivers them
    PutBack::Outcome outcome;
    bool leave = false, allowed = false; // keys that need the user's leave (Wayland), and whether it was given
};

TEST(PutBackTest, TheAnswerIsOnTheClipboardBeforeAnyAttemptAndTheOutcomeSaysHowItLanded)
{
    using Outcome = PutBack::Outcome;
    const Case cases[] = {
        {"accessibility takes it", answer, editor, true, true, true, Outcome::replaced},
        {"accessibility refuses: Control+V", answer, editor, false, true, true, Outcome::pasted},
        {"no keys in this session", answer, editor, false, false, true, Outcome::copiedOnly},
        {"the display refuses the keys", answer, editor, false, true, false, Outcome::copiedOnly},
        {"the target has quit: whatever has the focus", answer, quitEditor, false, true, true, Outcome::pasted},
        {"no target", answer, std::nullopt, true, true, true, Outcome::replaced},
        {"no answer", QString(), editor, true, true, true, Outcome::nothing},
        {"Wayland, no leave: the hint", answer, editor, false, true, true, Outcome::copiedOnly, true, false},
        {"Wayland, leave given: once back", answer, editor, false, true, true, Outcome::pasteOnceBack, true, true},
        {"Wayland, no target: never blindly", answer, std::nullopt, false, true, true, Outcome::copiedOnly, true, true},
        {"Wayland, accessibility takes it", answer, editor, true, true, true, Outcome::replaced, true, true},
    };
    for (const Case& c : cases) {
        FakePlatform platform;
        platform.clipboard->setText(usersOwn);
        platform.workspace->names.insert(editor, QStringLiteral("Mousepad"));
        platform.accessibility->writable = c.writable;
        platform.keys->sendable = c.sendable;
        platform.keys->delivers = c.delivers;
        platform.keys->leave = c.leave;
        QString pastedFromClipboard;
        QList<qint64> activatedBeforePaste;
        platform.keys->onChord = [&](Shortcut) {
            pastedFromClipboard = platform.clipboard->text().value_or(QString());
            activatedBeforePaste = platform.workspace->activated;
        };

        EXPECT_EQ(PutBack::apply(platform.services(), c.target, c.text, c.allowed), c.outcome) << c.name;
        EXPECT_EQ(platform.clipboard->text(), c.text.isEmpty() ? usersOwn : answer) << c.name;
        const bool activates = c.outcome != Outcome::nothing && c.target == editor;
        EXPECT_EQ(platform.workspace->activated, activates ? QList<qint64>{editor} : QList<qint64>{}) << c.name;
        EXPECT_EQ(platform.accessibility->written, c.outcome == Outcome::replaced ? answer : QString()) << c.name;
        const bool pasted = c.outcome == Outcome::pasted;
        EXPECT_EQ(platform.keys->chords, (pasted ? QList<Shortcut>{{9, KeyFormatter::controlMask}} : QList<Shortcut>{}))
            << c.name;
        if (pasted) {
            EXPECT_EQ(pastedFromClipboard, answer) << c.name;
            EXPECT_EQ(activatedBeforePaste, platform.workspace->activated) << c.name;
        }
    }
}

// Wayland's keys land wherever the focus is: Control+V goes out once, when the target is in
// front again, and never when it does not come back in time.
TEST(PutBackTest, APasteAfterThePanelWaitsForTheTargetAndIsDroppedWhenItNeverComes)
{
    for (const bool comesBack : {true, false}) {
        FakePlatform platform;
        platform.keys->leave = true;
        platform.workspace->frontmost = 1; // our panel
        std::optional<bool> pasted;
        PasteWhenBack paste;
        paste.start(platform.services(), editor, [&](bool done) { pasted = done; });
        processEventsFor(200);
        EXPECT_TRUE(platform.keys->chords.isEmpty()) << "nothing while another window is in front";
        if (comesBack)
            platform.workspace->frontmost = editor;
        ASSERT_TRUE(processEventsUntil([&] { return pasted.has_value(); }, 10000));
        EXPECT_EQ(*pasted, comesBack);
        EXPECT_EQ(platform.keys->chords,
                  (comesBack ? QList<Shortcut>{{9, KeyFormatter::controlMask}} : QList<Shortcut>{}));
    }
}

}
