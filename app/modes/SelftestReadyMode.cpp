#include "app/modes/Modes.h"

#include "app/Out.h"
#include "engines/AIReadiness.h"
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

bool checkDecisions()
{
    struct Case {
        bool local, cloud;
        AIReadiness expected;
    };
    const Case cases[] = {{true, true, AIReadiness::localReady}, {true, false, AIReadiness::localReady},
                          {false, true, AIReadiness::cloudOnly}, {false, false, AIReadiness::neitherConfigured}};
    bool passed = true;
    for (const Case& c : cases) {
        const AIReadiness got = AIReadiness::decide(c.local, c.cloud);
        passed &= outCheck(got == c.expected, QStringLiteral("decide(local=%1, cloudKey=%2) = %3")
                                                  .arg(QLatin1String(c.local ? "yes" : "no"), QLatin1String(c.cloud ? "yes" : "no"), name(got)));
    }
    return passed;
}

bool checkCloudKeys()
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
        {"blank keys do not count", QStringLiteral(" \n"), {{QStringLiteral("deepseek"), QStringLiteral("  ")}, {QStringLiteral("openai"), QString()}}, false},
        {"one real key among blank ones counts", {}, {{QStringLiteral("deepseek"), QStringLiteral("\t")}, {QStringLiteral("kimi"), QStringLiteral("sk-1")}}, true},
    };
    bool passed = true;
    for (const Case& c : cases) {
        AppSettings settings;
        settings.doubaoApiKey = c.legacyKey;
        settings.cloudKeys = c.keys;
        passed &= outCheck(settings.anyCloudKeyConfigured() == c.expected, QString::fromUtf8(c.what));
    }
    return passed;
}

// The live answer must put a local engine first and never ignore a cloud key.
bool checkLiveSystem()
{
    AppSettings withoutKey;
    withoutKey.activeProvider = QStringLiteral("openai"); // chosen, but no key was ever entered
    AppSettings withKey = withoutKey;
    withKey.cloudKeys.insert(QStringLiteral("deepseek"), QStringLiteral("sk-test"));
    const AIReadiness bare = AIReadiness::current(withoutKey);
    const AIReadiness keyed = AIReadiness::current(withKey);
    out(QStringLiteral("this system: %1 without a cloud key, %2 with one").arg(name(bare), name(keyed)));
    const AIReadiness expectedWithKey = bare == AIReadiness::localReady ? AIReadiness::localReady : AIReadiness::cloudOnly;
    return outCheck(bare != AIReadiness::cloudOnly, QStringLiteral("without a key the cloud is never offered"))
        & outCheck(keyed == expectedWithKey, QStringLiteral("a key adds the cloud only when no local engine exists"));
}

int selftestReady(const QStringList&)
{
    const bool passed = checkDecisions() & checkCloudKeys() & checkLiveSystem();
    out(passed ? QStringLiteral("READY_SELFTEST_PASS") : QStringLiteral("READY_SELFTEST_FAIL"));
    return passed ? 0 : 1;
}

}

const Mode selftestReadyMode = {AppObject::none, nullptr, "check the engine-readiness decision", selftestReady};
