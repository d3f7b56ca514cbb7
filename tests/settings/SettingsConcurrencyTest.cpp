#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "settings/SettingsStore.h"
#include "tests/support/ScratchHome.h"

namespace {

// A record whose fields all carry the same stamp, so a mixed-up record is easy to see.
AppSettings stamped(int stamp)
{
    AppSettings settings;
    const QString text = QStringLiteral("stamp-%1").arg(stamp);
    settings.qwenModel = text;
    settings.customBaseURL = text;
    settings.cloudKeys.insert(QStringLiteral("openai"), text);
    settings.hotKeyCode = quint32(stamp);
    return settings;
}

bool consistent(const AppSettings& settings)
{
    if (settings == AppSettings())
        return true;
    return settings == stamped(int(settings.hotKeyCode));
}

TEST(SettingsConcurrency, ManyThreadsLoadingAndSavingNeverSeeAMixedRecord)
{
    ScratchHome home;
    std::atomic<int> mixed{0};
    std::vector<std::jthread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &mixed] {
            for (int i = 0; i < 40; ++i) {
                if (i % 3 == 0)
                    SettingsStore::save(stamped(t * 1000 + i));
                const AppSettings seen = SettingsStore::load(i % 5 == 0);
                if (!consistent(seen))
                    ++mixed;
            }
        });
    }
    threads.clear();
    EXPECT_EQ(mixed.load(), 0);
    const AppSettings cached = SettingsStore::load();
    EXPECT_TRUE(consistent(cached));
    EXPECT_EQ(SettingsStore::load(true), cached) << "the cache must match the last write";
}

}
