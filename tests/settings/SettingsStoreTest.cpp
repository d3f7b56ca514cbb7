#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "settings/SettingsCodec.h"
#include "settings/SettingsStore.h"
#include "tests/support/Files.h"
#include "tests/support/ScratchHome.h"

namespace {

QStringList corruptCopies(const ScratchHome& home)
{
    return QDir(home.dataDir()).entryList({QStringLiteral("config.json.corrupt-*")}, QDir::Files | QDir::Hidden);
}

class SettingsStoreTest : public ::testing::Test {
protected:
    ScratchHome home;
    QString configPath() const { return home.dataDir() + QStringLiteral("/config.json"); }
};

TEST_F(SettingsStoreTest, NoFileUnderHomeGivesDefaultsWithTheTwoDefaultShortcuts)
{
    EXPECT_EQ(SettingsStore::path(), home.path() + QStringLiteral("/.selvane/config.json"));
    const AppSettings settings = SettingsStore::load(true);
    EXPECT_EQ(settings, AppSettings());
    EXPECT_EQ(settings.hotKeyDisplay(), QStringLiteral("⌥⌘E"));
    EXPECT_EQ(settings.ocrHotKeyDisplay(), QStringLiteral("⌃⌥S"));
    EXPECT_FALSE(QFile::exists(configPath())) << "loading must never create the file";
}

TEST_F(SettingsStoreTest, MissingAndNullKeysTakeTheirDefaults)
{
    ASSERT_TRUE(writeFile(configPath(), R"({"autoRemember": false, "qwenModel": null, "somethingNew": [1, 2]})"));
    AppSettings expected;
    expected.autoRemember = false;
    EXPECT_EQ(SettingsStore::load(true), expected);
}

TEST_F(SettingsStoreTest, UndecodableFilesGiveDefaultsAndSurviveTheNextSave)
{
    const QList<QByteArray> broken = {
        R"({"hotKeyCode": "14", "autoRemember": false})",
        R"({"hotKeyCode": -1})",
        R"({"hotKeyCode": 1.5})",
        R"({"cloudKeys": {"openai": 42}})",
        "this is not JSON {",
        "[1, 2, 3]",
        "",
    };
    for (const QByteArray& content : broken) {
        SCOPED_TRACE(content.toStdString());
        for (const QString& old : corruptCopies(home))
            QFile::remove(home.dataDir() + QLatin1Char('/') + old);
        ASSERT_TRUE(writeFile(configPath(), content));

        EXPECT_EQ(SettingsStore::load(true), AppSettings());
        EXPECT_EQ(readFile(configPath()), content) << "a load must not rewrite the file";

        AppSettings changed;
        changed.qwenModel = QStringLiteral("qwen2.5:3b");
        ASSERT_TRUE(SettingsStore::save(changed));
        const QStringList aside = corruptCopies(home);
        ASSERT_EQ(aside.size(), 1);
        EXPECT_EQ(readFile(home.dataDir() + QLatin1Char('/') + aside.first()), content);
        EXPECT_EQ(SettingsStore::load(true), changed);
    }
}

TEST_F(SettingsStoreTest, SaveWritesAPrivateSortedFileThatReadsBack)
{
    AppSettings settings;
    settings.cloudKeys = {{QStringLiteral("openai"), QStringLiteral("sk-test")}, {QStringLiteral("deepseek"), QStringLiteral("ds")}};
    settings.cloudModels = {{QStringLiteral("custom"), QStringLiteral("my-model")}};
    settings.customBaseURL = QStringLiteral("http://127.0.0.1:9/v1/chat/completions");
    settings.hotKeyModifiers = 0x1B00;
    settings.fontScale = 0.85;
    settings.appLanguage = QStringLiteral("en");
    settings.qwenModel = QStringLiteral("line\nbreak \"quoted\" \\ 中文 🎉");
    ASSERT_TRUE(SettingsStore::save(AppSettings()));
    ASSERT_TRUE(SettingsStore::save(settings));

    EXPECT_EQ(posixMode(configPath()), 0600);
    EXPECT_EQ(posixMode(home.dataDir()), 0700);
    EXPECT_EQ(QDir(home.dataDir()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("config.json")})
        << "a readable file is replaced without a copy, and no temporary file is left behind";

    const QByteArray bytes = readFile(configPath());
    const QJsonObject object = QJsonDocument::fromJson(bytes).object();
    QStringList keysInFileOrder;
    for (const QByteArray& line : bytes.split('\n')) {
        if (line.startsWith("    \""))
            keysInFileOrder << QString::fromUtf8(line.mid(5, line.indexOf('"', 5) - 5));
    }
    EXPECT_EQ(keysInFileOrder, object.keys()) << "top-level keys must appear sorted in the file";
    EXPECT_EQ(object.value(QStringLiteral("hotKeyModifiers")).toInteger(), 0x1B00);
    EXPECT_TRUE(bytes.contains("\"hotKeyModifiers\": 6912,")) << "shortcut fields are JSON integers";

    EXPECT_EQ(SettingsStore::load(), settings);
    SettingsStore::resetCache();
    EXPECT_EQ(SettingsStore::load(), settings);

    ASSERT_TRUE(SettingsStore::save(SettingsStore::load(true)));
    EXPECT_EQ(readFile(configPath()), bytes) << "an unchanged record must give the same bytes";
}

TEST_F(SettingsStoreTest, SaveUpdatesTheCacheEvenWhenWritingFails)
{
    // A plain file where the directory should be makes every write fail, even for root.
    ASSERT_TRUE(writeFile(home.dataDir(), "in the way"));
    AppSettings changed;
    changed.useContext = false;
    EXPECT_FALSE(SettingsStore::save(changed));
    EXPECT_FALSE(SettingsStore::load().useContext);
    EXPECT_EQ(readFile(home.dataDir()), QByteArray("in the way"));
}

TEST_F(SettingsStoreTest, ForcedLoadSeesChangesMadeByAnotherProcess)
{
    ASSERT_TRUE(SettingsStore::save(AppSettings()));
    ASSERT_TRUE(writeFile(configPath(), R"({"compareMode": false})"));
    EXPECT_TRUE(SettingsStore::load().compareMode) << "a plain load answers from the cache";
    EXPECT_FALSE(SettingsStore::load(true).compareMode);
}

TEST(SettingsDoubaoMigration, OlderFieldsAreBroughtForward)
{
    struct Case {
        const char* json;
        QMap<QString, QString> keys;
        QMap<QString, QString> models;
    };
    const QString doubao = QStringLiteral("doubao");
    const Case cases[] = {
        {R"({"doubaoApiKey": "  old-key \n"})", {{doubao, QStringLiteral("old-key")}}, {}},
        {R"({"doubaoApiKey": "old", "cloudKeys": {"doubao": "new"}})", {{doubao, QStringLiteral("new")}}, {}},
        {R"({"doubaoApiKey": "old", "cloudKeys": {"doubao": "  "}})", {{doubao, QStringLiteral("old")}}, {}},
        {R"({"doubaoApiKey": "   "})", {}, {}},
        {R"({"doubaoModel": "doubao-seed-2-0-pro-260215"})", {}, {}},
        {R"({"doubaoModel": " doubao-lite "})", {}, {{doubao, QStringLiteral("doubao-lite")}}},
        {R"({"doubaoModel": "doubao-lite", "cloudModels": {"doubao": "mine"}})", {}, {{doubao, QStringLiteral("mine")}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        AppSettings settings = SettingsCodec::decode(c.json).value();
        const QString legacyKey = settings.doubaoApiKey;
        SettingsCodec::bringForwardDoubaoFields(settings);
        EXPECT_EQ(settings.cloudKeys, c.keys);
        EXPECT_EQ(settings.cloudModels, c.models);
        EXPECT_EQ(settings.doubaoApiKey, legacyKey) << "the older fields stay as they are";
    }
}

TEST(SettingsLookups, CloudKeysModelsAndFontSteps)
{
    AppSettings settings;
    EXPECT_FALSE(settings.anyCloudKeyConfigured());
    EXPECT_EQ(settings.cloudModel(QStringLiteral("openai")), QStringLiteral("gpt-4o-mini"));
    EXPECT_EQ(settings.cloudModel(QStringLiteral("custom")), QString());

    settings.doubaoApiKey = QStringLiteral(" legacy ");
    EXPECT_EQ(settings.cloudKey(QStringLiteral("doubao")), QStringLiteral("legacy"));
    EXPECT_TRUE(settings.activeCloudConfigured());

    settings.doubaoApiKey.clear();
    settings.cloudKeys = {{QStringLiteral("openai"), QStringLiteral(" \t\n")}};
    EXPECT_FALSE(settings.anyCloudKeyConfigured());
    settings.cloudKeys.insert(QStringLiteral("grok"), QStringLiteral("xai-key"));
    EXPECT_TRUE(settings.anyCloudKeyConfigured());
    EXPECT_FALSE(settings.activeCloudConfigured()) << "a key for another provider does not configure doubao";
    settings.activeProvider = QStringLiteral("grok");
    EXPECT_TRUE(settings.activeCloudConfigured());
    settings.cloudModels.insert(QStringLiteral("grok"), QStringLiteral("  grok-4 "));
    EXPECT_EQ(settings.cloudModel(QStringLiteral("grok")), QStringLiteral("grok-4"));

    for (auto [scale, index] : {std::pair{0.85, 0}, {1.45, 3}, {1.2005, 2}, {1.1, 1}, {3.0, 1}}) {
        settings.fontScale = scale;
        EXPECT_EQ(settings.fontScaleStepIndex(), index) << scale;
    }
}

}
