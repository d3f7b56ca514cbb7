#include <gtest/gtest.h>

#include <QSet>

#include "settings/CloudProviders.h"
#include "tests/support/ScratchHome.h"

namespace {

TEST(CloudProviders, RegistryInvariants)
{
    ScratchHome home;
    const auto& all = CloudProviders::all();
    ASSERT_EQ(all.size(), 10);
    QSet<QString> ids;
    for (const CloudProvider& provider : all) {
        SCOPED_TRACE(provider.id.toStdString());
        EXPECT_FALSE(ids.contains(provider.id)) << "ids are unique";
        ids.insert(provider.id);
        EXPECT_FALSE(CloudProviders::displayName(provider.id).isEmpty());
        EXPECT_NE(CloudProviders::displayName(provider.id), provider.l10nKey) << "the name must be in the table";
        if (provider.isCustom()) {
            EXPECT_TRUE(provider.baseURL.isEmpty());
            EXPECT_TRUE(provider.defaultModel.isEmpty());
            EXPECT_TRUE(provider.keyURL.isEmpty());
            continue;
        }
        EXPECT_TRUE(provider.baseURL.startsWith(QLatin1String("https://")));
        EXPECT_TRUE(provider.baseURL.endsWith(QLatin1String("/chat/completions")));
        EXPECT_FALSE(provider.defaultModel.isEmpty());
        EXPECT_TRUE(provider.keyURL.startsWith(QLatin1String("https://")));
    }
    EXPECT_TRUE(ids.contains(CloudProviders::defaultId()));
    EXPECT_TRUE(all.last().isCustom()) << "custom is the last entry";
}

TEST(CloudProviders, FindFallsBackToTheDefault)
{
    EXPECT_EQ(CloudProviders::find(QStringLiteral("kimi")).baseURL, QStringLiteral("https://api.moonshot.cn/v1/chat/completions"));
    for (const QString& unknown : {QString(), QStringLiteral("Kimi"), QStringLiteral("mistral")})
        EXPECT_EQ(CloudProviders::find(unknown).id, QStringLiteral("doubao")) << unknown.toStdString();

    EXPECT_EQ(CloudProviders::displayName(QStringLiteral("nope")), CloudProviders::displayName(QStringLiteral("doubao")));
}

}
