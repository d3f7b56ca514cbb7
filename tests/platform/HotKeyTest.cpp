#include <gtest/gtest.h>

#include <memory>

#include <QCoreApplication>

#include "app/HotKey.h"
#include "tests/support/FakePlatform.h"

namespace {

constexpr quint32 keyE = 14;
constexpr quint32 keyS = 1;
constexpr quint32 keyEscape = 53;
constexpr quint32 optionCommand = 0x0900;
constexpr quint32 controlOption = 0x1800;

class HotKeyTest : public ::testing::Test {
protected:
    FakePlatform platform;
    QList<QString> calls;

    std::function<void()> record(const QString& name)
    {
        return [this, name] { calls.append(name); };
    }

    void pressAndDeliver(quint32 keyCode, quint32 modifiers)
    {
        platform.hotKeys->press(keyCode, modifiers);
        QCoreApplication::processEvents();
    }
};

TEST_F(HotKeyTest, CallbackRunsLaterOnTheEventLoopNotInsideTheServicesHandler)
{
    HotKey main(keyE, optionCommand, HotKey::mainId, record("main"));
    ASSERT_TRUE(main.isRegistered());

    platform.hotKeys->press(keyE, optionCommand);
    EXPECT_TRUE(calls.isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, QList<QString>{"main"});
}

TEST_F(HotKeyTest, NewerObjectWithTheSameIdTakesOverAndSurvivesTheOldOnesDestruction)
{
    auto older = std::make_unique<HotKey>(keyEscape, 0, HotKey::escapeId, record("older"));
    HotKey newer(keyE, controlOption, HotKey::escapeId, record("newer"));

    pressAndDeliver(keyEscape, 0);
    EXPECT_EQ(calls, QList<QString>{"newer"}) << "presses are routed by id to the newest object";

    older.reset();
    pressAndDeliver(keyE, controlOption);
    EXPECT_EQ(calls, (QList<QString>{"newer", "newer"}));
}

TEST_F(HotKeyTest, ACombinationTakenElsewhereOrAlreadyOursIsNotRegistered)
{
    platform.hotKeys->takenByOthers.insert({keyE, optionCommand});
    HotKey taken(keyE, optionCommand, HotKey::mainId, record("taken"));
    EXPECT_FALSE(taken.isRegistered());

    HotKey first(keyS, controlOption, HotKey::mainId, record("first"));
    HotKey second(keyS, controlOption, HotKey::screenshotId, record("second"));
    EXPECT_TRUE(first.isRegistered());
    EXPECT_FALSE(second.isRegistered());
}

TEST_F(HotKeyTest, APressPendingWhenItsHotKeyIsDestroyedIsDropped)
{
    auto escape = std::make_unique<HotKey>(keyEscape, 0, HotKey::escapeId, record("escape"));
    platform.hotKeys->press(keyEscape, 0);
    escape.reset();
    QCoreApplication::processEvents();
    EXPECT_TRUE(calls.isEmpty());
}

TEST_F(HotKeyTest, ACallbackMayDestroyItsOwnHotKey)
{
    std::unique_ptr<HotKey> escape;
    escape = std::make_unique<HotKey>(keyEscape, 0, HotKey::escapeId, [&] {
        escape.reset();
        calls.append("closed");
    });
    pressAndDeliver(keyEscape, 0);
    EXPECT_EQ(calls, QList<QString>{"closed"});
    EXPECT_FALSE(platform.hotKeys->isGrabbed(keyEscape, 0));
}

}
