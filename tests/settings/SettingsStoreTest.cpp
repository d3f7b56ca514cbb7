#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "settings/DataNotices.h"
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

// A value of another JSON type than the field's own: what a hand edit or another program leaves.
QJsonValue wrongTypeFor(const QJsonValue& value)
{
    if (value.isString())
        return 7;
    if (value.isObject())
        return QStringLiteral("sk-in-the-wrong-place");
    return QStringLiteral("large");
}

TEST_F(SettingsStoreTest, EachWrongTypedSettingFallsBackAloneAndTheKeysStay)
{
    AppSettings base;
    base.activeProvider = QStringLiteral("openai");
    base.cloudKeys = {{QStringLiteral("openai"), QStringLiteral("sk-x")}};
    base.rewriteEngine = EngineChoice::cloud;
    base.fontScale = 1.2;
    base.hotKeyCode = 3;
    const QJsonObject good = QJsonDocument::fromJson(SettingsCodec::encode(base)).object();
    const QJsonObject defaults = QJsonDocument::fromJson(SettingsCodec::encode(AppSettings())).object();

    struct Case {
        QString key;
        QJsonValue stored;
        QStringList ignored;
    };
    QList<Case> cases;
    for (auto it = good.begin(); it != good.end(); ++it)
        if (it.key() != QLatin1String("cloudKeys"))
            cases.append({it.key(), wrongTypeFor(it.value()), {it.key()}});
    cases.append({QStringLiteral("hotKeyCode"), 1.5, {QStringLiteral("hotKeyCode")}});
    cases.append({QStringLiteral("hotKeyModifiers"), -1, {QStringLiteral("hotKeyModifiers")}});
    cases.append({QStringLiteral("hotKeyCode"), 4294967296.0, {QStringLiteral("hotKeyCode")}});
    // One bad entry of a map costs that entry only.
    cases.append({QStringLiteral("cloudModels"),
                  QJsonObject{{QStringLiteral("deepseek"), 3}, {QStringLiteral("grok"), QStringLiteral("grok-4")}},
                  {QStringLiteral("cloudModels.deepseek")}});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.key.toStdString() + " = "
                     + QJsonDocument(QJsonArray{c.stored}).toJson(QJsonDocument::Compact).toStdString());
        QDir(home.dataDir()).removeRecursively();
        QJsonObject stored = good;
        stored.insert(c.key, c.stored);
        const QByteArray bytes = QJsonDocument(stored).toJson();
        ASSERT_TRUE(writeFile(configPath(), bytes));

        QJsonObject expected = good;
        expected.insert(c.key,
                        c.stored.isObject() ? QJsonObject{{QStringLiteral("grok"), QStringLiteral("grok-4")}}
                                            : defaults.value(c.key));
        const AppSettings loaded = SettingsStore::load(true);
        EXPECT_EQ(QJsonDocument::fromJson(SettingsCodec::encode(loaded)).object(), expected);
        EXPECT_EQ(loaded.cloudKey(QStringLiteral("openai")), QStringLiteral("sk-x"));
        EXPECT_EQ(SettingsCodec::decode(bytes).value().ignoredKeys, c.ignored);
        const QStringList notices = DataNotices::take();
        ASSERT_EQ(notices.size(), 1) << notices.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(notices.first().contains(c.ignored.first()) && notices.first().contains(configPath()));
        EXPECT_EQ(readFile(configPath()), bytes) << "a load must not rewrite the file";
        SettingsStore::load(true);
        EXPECT_TRUE(DataNotices::take().isEmpty()) << "told once, however often the file is read";

        // The first save keeps the file as the user left it, bad value included.
        ASSERT_TRUE(SettingsStore::save(loaded));
        const QStringList aside = filesInDataDir().filter(QStringLiteral("config.json.corrupt-"));
        ASSERT_EQ(aside.size(), 1);
        EXPECT_EQ(readFile(home.dataDir() + QLatin1Char('/') + aside.first()), bytes);
        EXPECT_EQ(DataNotices::take().size(), 1) << "the user learns where the old file went";
        ASSERT_TRUE(SettingsStore::save(loaded));
        EXPECT_EQ(filesInDataDir().filter(QStringLiteral("config.json.corrupt-")).size(), 1)
            << "a clean file is simply replaced";
    }
}

TEST_F(SettingsStoreTest, AFileThatCannotBeReadAtAllIsKeptAsideAtOnceAndTold)
{
    const bool root = ::geteuid() == 0;
    for (const QByteArray& content :
         {QByteArray("this is not JSON {"), QByteArray("[1, 2, 3]"), QByteArray(), QByteArray("\"text\""),
          QByteArray("{\"hotKeyCode\": 14,"), QByteArray("unreadable")}) {
        SCOPED_TRACE(content.toStdString());
        QDir(home.dataDir()).removeRecursively();
        ASSERT_TRUE(writeFile(configPath(), content));
        const bool locked = content == "unreadable";
        if (locked && root)
            continue; // root reads any file
        if (locked)
            QFile::setPermissions(configPath(), {});
        EXPECT_EQ(SettingsStore::load(true), AppSettings());
        EXPECT_FALSE(QFileInfo::exists(configPath()));
        const QStringList aside = filesInDataDir().filter(QStringLiteral("config.json.corrupt-"));
        ASSERT_EQ(aside.size(), 1);
        const QString keptAs = home.dataDir() + QLatin1Char('/') + aside.first();
        QFile::setPermissions(keptAs, QFile::ReadOwner | QFile::WriteOwner);
        EXPECT_EQ(readFile(keptAs), content);
        const QStringList notices = DataNotices::take();
        ASSERT_EQ(notices.size(), 1);
        EXPECT_TRUE(notices.first().contains(keptAs)) << notices.first().toStdString();

        AppSettings changed;
        changed.qwenModel = QStringLiteral("qwen2.5:3b");
        ASSERT_TRUE(SettingsStore::save(changed));
        EXPECT_EQ(SettingsStore::load(true), changed);
        EXPECT_EQ(filesInDataDir().filter(QStringLiteral("config.json.corrupt-")).size(), 1);
    }

    // A folder where the file should be cannot be moved into a read-only home folder: the user
    // hears that it was left alone.
    QDir(home.dataDir()).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(configPath()));
    if (!root) {
        QFile::setPermissions(home.dataDir(), QFile::ReadOwner | QFile::ExeOwner);
        EXPECT_EQ(SettingsStore::load(true), AppSettings());
        const QStringList notices = DataNotices::take();
        ASSERT_EQ(notices.size(), 1);
        EXPECT_TRUE(notices.first().contains(configPath()));
        EXPECT_FALSE(SettingsStore::save(AppSettings()));
        EXPECT_TRUE(QFileInfo(configPath()).isDir());
        QFile::setPermissions(home.dataDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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
    settings.cloudKeys = {{QStringLiteral("openai"), QStringLiteral("sk-test")},
                          {QStringLiteral("deepseek"), QStringLiteral("ds")}};
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

    EXPECT_EQ(posixMode(home.dataDir()), 0700) << "the file's own mode is checked by --selftest-homedir";
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
    const int id =
        SettingsStore::addChangeListener([&](const AppSettings& saved) { faults += !listening || !consistent(saved); });
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
    // stored, then doubao's key and model after (none: no entry)
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {R"({"doubaoApiKey": "old", "cloudKeys": {"doubao": "new"}})", "new", nullptr},
        {R"({"doubaoApiKey": "  old \n", "cloudKeys": {"doubao": "  "}})", "old", nullptr},
        {R"({"doubaoModel": "doubao-seed-2-0-pro-260215"})", nullptr, nullptr},
        {R"({"doubaoModel": " doubao-lite "})", nullptr, "doubao-lite"},
        {R"({"doubaoModel": "doubao-lite", "cloudModels": {"doubao": "mine"}})", nullptr, "mine"},
    };
    const auto doubao = [](const char* value) {
        return value ? QMap<QString, QString>{{QStringLiteral("doubao"), QString::fromUtf8(value)}}
                     : QMap<QString, QString>();
    };
    for (const auto& [json, key, model] : cases) {
        AppSettings settings = SettingsCodec::decode(json).value().settings;
        const AppSettings decoded = settings;
        SettingsCodec::bringForwardDoubaoFields(settings);
        EXPECT_EQ(settings.cloudKeys, doubao(key)) << json;
        EXPECT_EQ(settings.cloudModels, doubao(model)) << json;
        EXPECT_EQ(settings.doubaoApiKey, decoded.doubaoApiKey);
        EXPECT_EQ(settings.doubaoModel, decoded.doubaoModel);
    }
}

// Which keys count and the default models are checked by --selftest-ready and the settings window's tests.
TEST(SettingsLookups, TheActiveProvidersOwnKeyATrimmedModelAndTheNearestFontStep)
{
    AppSettings settings;
    settings.cloudKeys.insert(QStringLiteral("grok"), QStringLiteral("xai-key"));
    settings.cloudModels.insert(QStringLiteral("grok"), QStringLiteral("  grok-4 "));
    EXPECT_FALSE(settings.activeCloudConfigured()) << "a key for another provider does not configure doubao";
    EXPECT_EQ(settings.cloudModel(QStringLiteral("grok")), QStringLiteral("grok-4"));
    for (auto [scale, index] : {std::pair{0.85, 0}, {1.45, 3}, {1.2005, 2}, {1.1, 1}, {3.0, 1}}) {
        settings.fontScale = scale;
        EXPECT_EQ(settings.fontScaleStepIndex(), index) << scale;
    }
}

}
