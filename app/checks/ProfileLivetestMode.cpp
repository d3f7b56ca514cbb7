#include "app/Modes.h"

#include "app/Out.h"
#include "app/checks/CheckList.h"
#include "engines/EngineChats.h"
#include "engines/ollama/OllamaService.h"
#include "engines/ollama/QwenClient.h"
#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"
#include "profile/ProfileEngine.h"
#include "profile/ProfileStore.h"
#include "settings/SettingsStore.h"

using namespace std::chrono_literals;

namespace {

// A few lookups, so a fresh throw-away knowledge file has enough to learn from.
void seed(KnowledgeStore& store)
{
    const QList<std::pair<const char*, const char*>> lookups = {
        {"通货膨胀是什么", "物价总体持续上涨、货币购买力下降的现象。"},
        {"美联储为什么加息", "为了给过热的需求降温、压住通胀。"},
        {"GDP 和 GNP 的区别", "GDP 按地域统计，GNP 按国民统计。"},
        {"量化宽松", "央行大规模购买资产、向市场投放货币。"},
        {"stagflation", "经济停滞与通货膨胀同时出现。"},
    };
    for (const auto& [source, result] : lookups)
        store.add(QStringLiteral("解释"), QString::fromUtf8(source), QString::fromUtf8(result),
                  QStringLiteral("livetest"));
}

int profileLivetest(const QStringList&)
{
    if (qEnvironmentVariable("SELVANE_KNOWLEDGE_FILE").isEmpty()
        || qEnvironmentVariable("SELVANE_PROFILE_FILE").isEmpty()) {
        out(QStringLiteral(
            "PROFILE_LIVETEST_FAIL: set SELVANE_KNOWLEDGE_FILE and SELVANE_PROFILE_FILE to throw-away files first"));
        return 1;
    }
    CheckList checks;
    SemanticRecall noModels(std::make_shared<NoSentenceEmbedder>());
    KnowledgeStore store(KnowledgeStore::defaultPath(), noModels);
    if (store.count() < ProfileEngine::minCountToGenerate) {
        seed(store);
        checks.note(QStringLiteral("seeded the knowledge file with sample lookups"));
    }
    checks.note(QStringLiteral("knowledge entries: %1").arg(store.count()));

    const AppSettings settings = SettingsStore::load();
    const AIReadiness readiness =
        AIReadiness::decide(OllamaService::ensureRunning(5s, {}), settings.anyCloudKeyConfigured());
    const QString engine = readiness == AIReadiness::localReady ? QStringLiteral("local model ") + QwenClient::model()
        : readiness == AIReadiness::cloudOnly ? QStringLiteral("cloud provider ") + settings.activeProvider
                                              : QString();
    if (!checks.check(!engine.isEmpty(), QStringLiteral("an engine is ready: ") + engine))
        return checks.finish("PROFILE_LIVETEST_PASS", "PROFILE_LIVETEST_FAIL");

    ProfileEngine::releaseUserEdit();
    const ProfileEngine::OneShotChat chat = EngineChats::oneShot(readiness);
    std::optional<QString> reply;
    ProfileEngine::regenerate(store, [&chat, &reply](const ChatMessages& messages, std::stop_token stop) {
        reply = chat(messages, stop);
        return reply;
    });
    if (checks.check(reply.has_value(), QStringLiteral("the engine answered")))
        checks.note(QStringLiteral("reply: ") + reply->left(200).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    const std::optional<UserProfile> profile = ProfileStore::load();
    checks.check(profile && profile->isUsable() && !profile->userEdited && profile->generatedAtCount == store.count(),
                 QStringLiteral("a clean profile line was stored in ") + ProfileStore::path());
    if (profile)
        checks.note(QStringLiteral("profile: ") + profile->text);
    return checks.finish("PROFILE_LIVETEST_PASS", "PROFILE_LIVETEST_FAIL");
}

}

const Mode profileLivetestMode = {
    AppObject::none, nullptr, "run a real profile generation (needs SELVANE_KNOWLEDGE_FILE and SELVANE_PROFILE_FILE)",
    profileLivetest};
