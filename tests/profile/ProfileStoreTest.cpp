#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "profile/ProfileEngine.h"
#include "profile/ProfileStore.h"
#include "tests/support/Files.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"

namespace {

class ProfileStoreTest : public ::testing::Test {
protected:
    ScratchHome home;
    ScopedEnv noOverride{"SELVANE_PROFILE_FILE", QByteArray()};
    const QString file = home.dataDir() + QStringLiteral("/profile.json");
};

TEST_F(ProfileStoreTest, SavedProfilesAreSortedPrivateAndReadBack)
{
    EXPECT_EQ(ProfileStore::path(), file);
    EXPECT_FALSE(ProfileStore::load());
    UserProfile profile;
    profile.text = QStringLiteral("关注物理 \"quoted\"\n");
    profile.basedOnCount = 30;
    profile.updatedAt = QDateTime(QDate(2025, 3, 1), QTime(8, 30), Qt::UTC);
    profile.userEdited = true;
    profile.generatedAtCount = 42;
    ASSERT_TRUE(ProfileStore::save(profile));
    const QByteArray bytes = readFile(file);
    QList<qsizetype> positions;
    for (const char* key : {"basedOnCount", "generatedAtCount", "text", "updatedAt", "userEdited"})
        positions.append(bytes.indexOf(key));
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()) && positions.first() >= 0) << bytes.toStdString();
    EXPECT_TRUE(bytes.contains("\"2025-03-01T08:30:00Z\""));
    EXPECT_EQ(ProfileStore::load(), profile);

    ProfileStore::clear();
    EXPECT_FALSE(QFile::exists(file));
    ProfileStore::clear();
}

TEST_F(ProfileStoreTest, MissingFieldsTakeDefaultsAndDamagedFilesAreKeptAside)
{
    ASSERT_TRUE(writeFile(file, R"({"text": "only text", "unknown": 1})"));
    const std::optional<UserProfile> partial = ProfileStore::load();
    ASSERT_TRUE(partial);
    EXPECT_EQ(partial->text, QStringLiteral("only text"));
    EXPECT_EQ(partial->basedOnCount, 0);
    EXPECT_FALSE(partial->userEdited);
    EXPECT_EQ(partial->generatedAtCount, 0);

    for (const QByteArray& damaged :
         {QByteArray("not json"), QByteArray("{\"text\": \"kept \xff\", \"generatedAtCount\": 1.5}")}) {
        SCOPED_TRACE(damaged.toStdString());
        ASSERT_TRUE(writeFile(file, damaged));
        EXPECT_EQ(ProfileStore::load().value_or(UserProfile{.text = QStringLiteral("none")}).text,
                  damaged.startsWith('{') ? QStringLiteral("kept \uFFFD") : QStringLiteral("none"))
            << "a field that cannot be read hides no other";
        ASSERT_TRUE(ProfileStore::save(UserProfile()));
        const QStringList aside = QDir(home.dataDir()).entryList({QStringLiteral("profile.json.corrupt-*")});
        ASSERT_EQ(aside.size(), 1);
        EXPECT_EQ(readFile(home.dataDir() + QLatin1Char('/') + aside.first()), damaged);
        QFile::remove(home.dataDir() + QLatin1Char('/') + aside.first());
    }
}

TEST_F(ProfileStoreTest, AUserEditStartsFromTheStoredProfileOrFromDefaults)
{
    ASSERT_TRUE(ProfileEngine::saveUserEdit(QStringLiteral("  我自己写的  "), 12));
    UserProfile edited = *ProfileStore::load();
    EXPECT_EQ(edited.text, QStringLiteral("我自己写的"));
    EXPECT_TRUE(edited.userEdited);
    EXPECT_EQ(edited.generatedAtCount, 12);
    EXPECT_EQ(edited.basedOnCount, 12) << "a fresh record counts what the user had";

    ASSERT_TRUE(ProfileEngine::saveUserEdit(QString(), 20));
    edited = *ProfileStore::load();
    EXPECT_TRUE(edited.text.isEmpty()) << "an empty edit is kept as typed";
    EXPECT_EQ(edited.basedOnCount, 12);
    EXPECT_EQ(edited.generatedAtCount, 20);

    ProfileEngine::releaseUserEdit();
    EXPECT_FALSE(ProfileStore::load()->userEdited);
}

}
