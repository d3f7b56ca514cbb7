#include "app/Modes.h"

#include "app/checks/CheckList.h"
#include "engines/ollama/OllamaEngineControl.h"
#include "settings/AppSettings.h"

namespace {

QString name(AIReadiness readiness)
{
    switch (readiness) {
    case AIReadiness::localReady: return QStringLiteral("localReady");
    case AIReadiness::cloudOnly: return QStringLiteral("cloudOnly");
    case AIReadiness::neitherConfigured: return QStringLiteral("neitherConfigured");
    }
    return {};
}

void checkDecisions(CheckList& checks)
{
    struct Case {
        bool local, cloud;
        AIReadiness expected;
    };
    const Case cases[] = {{true, true, AIReadiness::localReady},
                          {true, false, AIReadiness::localReady},
                          {false, true, AIReadiness::cloudOnly},
                          {false, false, AIReadiness::neitherConfigured}};
    for (const Case& c : cases) {
        const AIReadiness got = AIReadiness::decide(c.local, c.cloud);
        checks.check(got == c.expected,
                     QStringLiteral("decide(local=%1, cloudKey=%2) = %3")
                         .arg(QLatin1String(c.local ? "yes" : "no"), QLatin1String(c.cloud ? "yes" : "no"), name(got)));
    }
}

void checkCloudKeys(CheckList& checks)
{
    struct Case {
        const char* what;
        QString legacyKey;
        QMap<QString, QString> keys;
        bool expected;
    };
    const Case cases[] = {
        {"fresh settings have no cloud key", {}, {}, false},
        {"the legacy key alone counts", QStringLiteral("sk-legacy"), {}, true},
        {"blank keys do not count",
         QStringLiteral(" \n"),
         {{QStringLiteral("deepseek"), QStringLiteral("  ")}, {QStringLiteral("openai"), QString()}},
         false},
        {"one real key among blank ones counts",
         {},
         {{QStringLiteral("deepseek"), QStringLiteral("\t")}, {QStringLiteral("kimi"), QStringLiteral("sk-1")}},
         true},
    };
    for (const Case& c : cases) {
        AppSettings settings;
        settings.doubaoApiKey = c.legacyKey;
        settings.cloudKeys = c.keys;
        checks.check(settings.anyCloudKeyConfigured() == c.expected, QString::fromUtf8(c.what));
    }
}

// The live answer must put a local engine first and never ignore a cloud key.
void checkLiveSystem(CheckList& checks)
{
    AppSettings withoutKey;
    withoutKey.activeProvider = QStringLiteral("openai"); // chosen, but no key was ever entered
    AppSettings withKey = withoutKey;
    withKey.cloudKeys.insert(QStringLiteral("deepseek"), QStringLiteral("sk-test"));
    OllamaEngineControl engines;
    const AIReadiness bare = engines.readiness(withoutKey, {});
    const AIReadiness keyed = engines.readiness(withKey, {});
    checks.note(QStringLiteral("this system: %1 without a cloud key, %2 with one").arg(name(bare), name(keyed)));
    const AIReadiness expectedWithKey =
        bare == AIReadiness::localReady ? AIReadiness::localReady : AIReadiness::cloudOnly;
    checks.check(bare != AIReadiness::cloudOnly, QStringLiteral("without a key the cloud is never offered"));
    checks.check(keyed == expectedWithKey, QStringLiteral("a key adds the cloud only when no local engine exists"));
}

int selftestReady(const QStringList&)
{
    CheckList checks;
    checkDecisions(checks);
    checkCloudKeys(checks);
    checkLiveSystem(checks);
    return checks.finish("READY_SELFTEST_PASS", "READY_SELFTEST_FAIL");
}

}

const Mode selftestReadyMode = {AppObject::none, nullptr, "check the engine-readiness decision", selftestReady};
