// What Quillo tells its GNOME Shell extension: the shortcut as the Shell's key bindings name it,
// and which of the two builds a Shell of some version loads.
#include <gtest/gtest.h>

#include "platform/wayland/ShellHelper.h"

namespace {

TEST(ShellHelperTest, ShortcutsAreNamedAsTheShellsKeyBindingsReadThemAndTheBuildFollowsTheShellsModules)
{
    const struct {
        quint32 keyCode, modifiers;
        const char* accelerator;
    } keys[] = {
        {14, 0x900, "<Alt><Super>e"},               // the default: modifiers in the Shell's order
        {101, 0, "F9"},                             // function keys need no modifier
        {126, 0x1300, "<Control><Shift><Super>Up"}, // word keys by their keysym names
        {49, 0x800, "<Alt>space"},
        {43, 0x1000, "<Control>comma"}, // punctuation too, never as its character
        {0xffff, 0x900, ""},            // no such key: nothing to bind
    };
    for (const auto& key : keys)
        EXPECT_EQ(ShellHelper::accelerator(key.keyCode, key.modifiers), QString::fromLatin1(key.accelerator))
            << key.keyCode;

    const struct {
        const char* shellVersion;
        const char* uuid;
    } shells[] = {
        {"43.9", ShellHelper::legacyUuid},  {"44.beta", ShellHelper::legacyUuid}, {"45.0", ShellHelper::modulesUuid},
        {"49.2", ShellHelper::modulesUuid}, {"", ShellHelper::modulesUuid}, // unknown: today's Shells
    };
    for (const auto& shell : shells)
        EXPECT_EQ(ShellHelper::uuidFor(QString::fromLatin1(shell.shellVersion)), QString::fromLatin1(shell.uuid))
            << shell.shellVersion;
}

}
