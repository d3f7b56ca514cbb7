#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include <QDir>
#include <QFile>
#include <QJsonDocument>

#include "settings/SettingsCodec.h"
#include "settings/SettingsStore.h"
#include "tests/support/Files.h"
#include "tests/support/ScratchHome.h"

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    ScratchHome home;
    QString configPath() const { return home.dataDir() + QStringLiteral("/config.json"); }
    QStringList filesInDataDir() const { return QDir(home.dataDir()).entryList(QDir::Files | QDir::Hidden); }
};

TEST_F(SettingsStoreTest, MissingFileKeysAndNullsTakeTheDefaultsAndOnlyAForcedLoadReadsTheFile)
{
    EXPECT_EQ(SettingsStore::path(), home.path() + QStringLiteral("/.selvane/config.json"));
    const AppSettings settings = SettingsStore::load(true);
    EXPECT_EQ(settings, AppSettings());
    EXPECT_FALSE(QFile::exists(configPath())) << "loading writes nothing";

    ASSERT_TRUE(writeFile(configPath(), R"({"autoRemember": false, "qwenModel": null, "somethingNew": [1, 2]})"));
    EXPECT_FALSE(SettingsStore::load(true).autoRemember);
    EXPECT_EQ(SettingsStore::load().qwenModel, AppSettings().qwenModel);
    ASSERT_TRUE(writeFile(configPath(), R"({"compareMode": false})"));
    EXPECT_TRUE(SettingsStore::load().compareMode) << "a plain load answers from the cache";
    EXPECT_FALSE(SettingsStore::load(true).compareMode);
}

TEST_F(SettingsStoreTest, UndecodableFilesGiveDefaultsAndAreMovedAsideByTheNextSave)
{
    for (const QByteArray& content : {QByteArray(R"({"hotKeyCode": "14", "autoRemember": false})"),
                                      QByteArray(R"({"hotKeyCode": 1.5})"), QByteArray(R"({"cloudKeys": {"openai": 42}})"),
                                      QByteArray("this is not JSON {"), QByteArray("[1, 2, 3]"), QByteArray()}) {
        SCOPED_TRACE(content.toStdString());
        QDir(home.dataDir()).removeRecursively();
        ASSERT_TRUE(writeFile(configPath(), content));
        EXPECT_EQ(SettingsStore::load(true), AppSettings());
        EXPECT_EQ(readFile(configPath()), content) << "a load must not rewrite the file";

        AppSettings changed;
        changed.qwenModel = QStringLiteral("qwen2.5:3b");
        ASSERT_TRUE(SettingsStore::save(changed));
        const QStringList aside = filesInDataDir().filter(QStringLiteral("config.json.corrupt-"));
        ASSERT_EQ(aside.size(), 1);
        EXPECT_EQ(readFile(home.dataDir() + QLatin1Char('/') + aside.first()), content);
        EXPECT_EQ(SettingsStore::load(true), changed);
    }
}

TEST_F(SettingsStoreTest, SaveWritesAPrivateSortedFileAndTellsTheListenersOnlyWhenItSucceeds)
{
    QList<AppSettings> heard;
    const int id = SettingsStore::addChangeListener([&](const AppSettings& saved) {
        heard << saved;
        SettingsStore::load(true); // a listener may use the store
    });
    AppSettings settings;
    settings.cloudKeys = {{QStringLiteral("openai"), QStringLiteral("sk-test")}, {QStringLiteral("deepseek"), QStringLiteral("ds")}};
    settings.hotKeyModifiers = 0x1B00;
    settings.qwenModel = QStringLiteral("line\nbreak \"quoted\" \\ 中文 🎉");
    ASSERT_TRUE(writeFile(home.dataDir(), "in the way")); // a file where the directory should be
    EXPECT_FALSE(SettingsStore::save(settings));
    EXPECT_EQ(SettingsStore::load(), settings) << "the cache has it all the same";
    EXPECT_TRUE(heard.isEmpty());
    QFile::remove(home.dataDir());
    ASSERT_TRUE(SettingsStore::save(AppSettings()));
    ASSERT_TRUE(SettingsStore::save(settings));
    SettingsStore::removeChangeListener(id);
    EXPECT_EQ(heard, (QList<AppSettings>{AppSettings(), settings}));

    EXPECT_EQ(posixMode(configPath()), 0600);
    EXPECT_EQ(posixMode(home.dataDir()), 0700);
    EXPECT_EQ(filesInDataDir(), QStringList{QStringLiteral("config.json")}) << "no copy and no temporary file is left";
    const QByteArray bytes = readFile(configPath());
    EXPECT_EQ(bytes, QJsonDocument::fromJson(bytes).toJson()) << "pretty-printed with sorted keys";
    EXPECT_TRUE(bytes.contains("\"hotKeyModifiers\": 6912,")) << "shortcut fields are JSON integers";
    SettingsStore::resetCache();
    ASSERT_TRUE(SettingsStore::save(SettingsStore::load()));
    EXPECT_EQ(readFile(configPath()), bytes) << "a record read back gives the same bytes";
    EXPECT_EQ(heard.size(), 2) << "removed listeners hear nothing";
}

TEST_F(SettingsStoreTest, ThreadsLoadingAndSavingNeverSeeAMixedRecordNorARemovedListener)
{
    // Records whose fields all carry the same stamp, so a mixed-up record is easy to see.
    const auto stamped = [](int stamp) {
        AppSettings settings;
        settings.qwenModel = settings.customBaseURL = QStringLiteral("stamp-%1").arg(stamp);
        settings.hotKeyCode = quint32(stamp);
        return settings;
    };
    const auto consistent = [&](const AppSettings& s) { return s == AppSettings() || s == stamped(int(s.hotKeyCode)); };
    std::atomic<int> faults{0};
    std::atomic<bool> listening{true};
    const int id = SettingsStore::addChangeListener([&](const AppSettings& saved) { faults += !listening || !consistent(saved); });
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < 8; ++t) {
            threads.emplace_back([&, t] {
                for (int i = 0; i < 40; ++i) {
                    if (i % 3 == 0)
                        SettingsStore::save(stamped(t * 1000 + i));
                    faults += !consistent(SettingsStore::load(i % 5 == 0));
                }
            });
        }
        SettingsStore::removeChangeListener(id);
        listening = false; // from now on the listener must not run
    }
    EXPECT_EQ(faults.load(), 0);
    EXPECT_EQ(SettingsStore::load(true), SettingsStore::load()) << "the cache matches the last write";
}

TEST(SettingsDoubaoMigration, OlderFieldsAreBroughtForwardAndKept)
{
    const QString doubao = QStringLiteral("doubao");
    const struct {
        const char* json;
        QMap<QString, QString> keys;
        QMap<QString, QString> models;
    } cases[] = {
        {R"({"doubaoApiKey": "old", "cloudKeys": {"doubao": "new"}})", {{doubao, QStringLiteral("new")}}, {}},
        {R"({"doubaoApiKey": "  old \n", "cloudKeys": {"doubao": "  "}})", {{doubao, QStringLiteral("old")}}, {}},
        {R"({"doubaoModel": "doubao-seed-2-0-pro-260215"})", {}, {}},
        {R"({"doubaoModel": " doubao-lite "})", {}, {{doubao, QStringLiteral("doubao-lite")}}},
        {R"({"doubaoModel": "doubao-lite", "cloudModels": {"doubao": "mine"}})", {}, {{doubao, QStringLiteral("mine")}}},
    };
    for (const auto& c : cases) {
        AppSettings settings = SettingsCodec::decode(c.json).value();
        const AppSettings decoded = settings;
        SettingsCodec::bringForwardDoubaoFields(settings);
        EXPECT_EQ(settings.cloudKeys, c.keys) << c.json;
        EXPECT_EQ(settings.cloudModels, c.models) << c.json;
        EXPECT_EQ(settings.doubaoApiKey, decoded.doubaoApiKey);
        EXPECT_EQ(settings.doubaoModel, decoded.doubaoModel);
    }
}

TEST(SettingsLookups, CloudKeysModelsAndFontSteps)
{
    AppSettings settings;
    settings.doubaoApiKey = QStringLiteral(" legacy ");
    EXPECT_EQ(settings.cloudKey(QStringLiteral("doubao")), QStringLiteral("legacy"));
    EXPECT_TRUE(settings.activeCloudConfigured());
    settings.doubaoApiKey.clear();
    settings.cloudKeys = {{QStringLiteral("openai"), QStringLiteral(" \t\n")}};
    EXPECT_FALSE(settings.anyCloudKeyConfigured());
    settings.cloudKeys.insert(QStringLiteral("grok"), QStringLiteral("xai-key"));
    settings.cloudModels.insert(QStringLiteral("grok"), QStringLiteral("  grok-4 "));
    EXPECT_TRUE(settings.anyCloudKeyConfigured());
    EXPECT_FALSE(settings.activeCloudConfigured()) << "a key for another provider does not configure doubao";
    EXPECT_EQ(settings.cloudModel(QStringLiteral("grok")), QStringLiteral("grok-4"));
    EXPECT_EQ(settings.cloudModel(QStringLiteral("openai")), QStringLiteral("gpt-4o-mini"));
    for (auto [scale, index] : {std::pair{0.85, 0}, {1.45, 3}, {1.2005, 2}, {1.1, 1}, {3.0, 1}}) {
        settings.fontScale = scale;
        EXPECT_EQ(settings.fontScaleStepIndex(), index) << scale;
    }
}

}
