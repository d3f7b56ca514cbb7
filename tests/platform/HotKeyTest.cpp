#include <gtest/gtest.h>

#include <memory>

#include <QCoreApplication>

#include "app/HotKey.h"
#include "tests/support/FakePlatform.h"

namespace {

const Shortcut optionCommandE{14, 0x0900};
const Shortcut controlOptionS{1, 0x1800};
const Shortcut escape{53, 0};

class HotKeyTest : public ::testing::Test {
protected:
    FakePlatform platform;
    QStringList calls;

    std::function<void()> record(const QString& name) { return [this, name] { calls << name; }; }

    void press(Shortcut shortcut)
    {
        platform.hotKeys->press(shortcut);
        QCoreApplication::processEvents();
    }
};

TEST_F(HotKeyTest, PressesGoByIdToTheNewestRegisteredHotKeyLaterOnTheEventLoop)
{
    auto older = std::make_unique<HotKey>(escape, HotKey::escapeId, record("older"));
    platform.hotKeys->press(escape);
    EXPECT_TRUE(calls.isEmpty()) << "never inside the service's event handling";
    QCoreApplication::processEvents();

    HotKey newer(controlOptionS, HotKey::escapeId, record("newer"));
    press(escape);
    older.reset();
    press(controlOptionS);
    EXPECT_EQ(calls, (QStringList{"older", "newer", "newer"}));
}

TEST_F(HotKeyTest, AHotKeyWhoseGrabFailsTakesNothingOver)
{
    HotKey live(escape, HotKey::escapeId, record("live"));
    platform.hotKeys->takeElsewhere(optionCommandE);
    {
        HotKey taken(optionCommandE, HotKey::escapeId, record("taken"));
        HotKey ours(escape, HotKey::mainId, record("ours, other id"));
        EXPECT_FALSE(taken.isRegistered());
        EXPECT_FALSE(ours.isRegistered()) << "the combination is ours already, under another id";
        press(escape);
    }
    press(escape);
    EXPECT_EQ(calls, (QStringList{"live", "live"}));
}

TEST_F(HotKeyTest, ReArmingTheSameCombinationKeepsItGrabbedUntilTheLastHolderGoes)
{
    auto old = std::make_unique<HotKey>(escape, HotKey::escapeId, record("old"));
    auto rearmed = std::make_unique<HotKey>(escape, HotKey::escapeId, record("rearmed"));
    EXPECT_TRUE(rearmed->isRegistered());
    old.reset();
    ASSERT_TRUE(platform.hotKeys->isGrabbed(escape));
    press(escape);
    EXPECT_EQ(calls, QStringList{"rearmed"});
    rearmed.reset();
    EXPECT_FALSE(platform.hotKeys->isGrabbed(escape));
}

TEST_F(HotKeyTest, APendingPressOfADestroyedHotKeyIsDroppedAndACallbackMayDestroyItsOwn)
{
    auto first = std::make_unique<HotKey>(escape, HotKey::escapeId, record("first"));
    platform.hotKeys->press(escape);
    first.reset();
    QCoreApplication::processEvents();
    EXPECT_TRUE(calls.isEmpty());

    std::unique_ptr<HotKey> closing;
    closing = std::make_unique<HotKey>(escape, HotKey::escapeId, [&] {
        closing.reset();
        calls << "closed";
    });
    press(escape);
    EXPECT_EQ(calls, QStringList{"closed"});
    EXPECT_FALSE(platform.hotKeys->isGrabbed(escape));
}

}
