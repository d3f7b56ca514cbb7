#include "app/Modes.h"

#include <QFile>
#include <QTemporaryDir>

#include "app/Out.h"
#include "core/ActionKey.h"
#include "engines/chat/CloudClient.h"
#include "engines/ollama/QwenClient.h"
#include "popup/SelectionMarks.h"
#include "prompts/PromptLibrary.h"
#include "settings/SettingsStore.h"

namespace {

struct LiveCase {
    QString actionKey;
    QString before;
    QString selected;
    QString after;
};

// One selection per action, each of which only makes sense with its surroundings.
QList<LiveCase> liveCases()
{
    return {
        {ActionKey::explain, QStringLiteral("今天"), QStringLiteral("苹果"),
         QStringLiteral("发布了新款 iPhone，股价应声上涨。")},
        {ActionKey::translate, QStringLiteral("We sat on the river"), QStringLiteral("bank"),
         QStringLiteral("and watched the boats drift by.")},
        {ActionKey::rewrite, QStringLiteral("产品评测：外观一般，但是"), QStringLiteral("这个东西挺好用的"),
         QStringLiteral("，总体推荐购买。")},
    };
}

QString systemPrompt(const LiveCase& c)
{
    if (c.actionKey == ActionKey::translate)
        return PromptLibrary::translateSystem(PromptLibrary::resolveDirection(QStringLiteral("auto"), c.selected));
    if (c.actionKey == ActionKey::rewrite)
        return PromptLibrary::rewriteSystem(QStringLiteral("general"), PromptLibrary::Creativity::moderate);
    return PromptLibrary::explainSystem(QStringLiteral("plain"));
}

// Runs one case as the popup would; prints the answer; empty result when it passed.
QString runCase(const LiveCase& c, bool cloud)
{
    const ChatMessages messages = {
        ChatMessage::system(systemPrompt(c)),
        ChatMessage::user(PromptLibrary::contextualUserPrompt(c.actionKey, c.selected, c.before, c.after))};
    QString shown;
    const DeltaHandler onDelta = [&shown](const QString& fragment) { shown += fragment; };
    const ChatResult result =
        cloud ? CloudClient::runChatStream(messages, onDelta) : QwenClient::runChatStream(messages, onDelta);
    if (!result.ok())
        return result.description();
    const QString answer = stripSelectionMarks(result.answer);
    out(QStringLiteral("[%1] %2 → %3")
            .arg(c.actionKey, c.selected, answer.left(120).replace(QLatin1Char('\n'), QLatin1Char(' '))));
    if (shown.trimmed() != result.answer)
        return QStringLiteral("the streamed fragments do not add up to the answer");
    if (answer.isEmpty())
        return QStringLiteral("the answer is only selection marks");
    return {};
}

int run(const QStringList& args)
{
    const bool cloud = args.contains(QLatin1String("cloud"));
    // The cloud check uses its own key in a throw-away home, so the user's settings stay untouched.
    QTemporaryDir scratchHome;
    if (cloud) {
        const QString key = qEnvironmentVariable("SELVANE_TEST_DOUBAO_KEY").trimmed();
        if (key.isEmpty()) {
            out(QStringLiteral("CONTEXT_LIVETEST_FAIL: SELVANE_TEST_DOUBAO_KEY is not set"));
            return 1;
        }
        qputenv("HOME", QFile::encodeName(scratchHome.path()));
        SettingsStore::resetCache();
        AppSettings settings;
        settings.activeProvider = QStringLiteral("doubao");
        settings.cloudKeys = {{QStringLiteral("doubao"), key}};
        if (!SettingsStore::save(settings)) {
            out(QStringLiteral("CONTEXT_LIVETEST_FAIL: could not prepare the scratch settings"));
            return 1;
        }
        out(QStringLiteral("engine: cloud (doubao)"));
    } else {
        out(QStringLiteral("engine: local (%1)").arg(QwenClient::model()));
    }
    for (const LiveCase& c : liveCases()) {
        const QString failure = runCase(c, cloud);
        if (!failure.isEmpty()) {
            out(QStringLiteral("CONTEXT_LIVETEST_FAIL: [%1] %2").arg(c.actionKey, failure));
            return 1;
        }
    }
    out(QStringLiteral("CONTEXT_LIVETEST_PASS"));
    return 0;
}

}

const Mode contextLivetestMode = {
    AppObject::core, "[cloud]",
    "real prompts with context against the local engine, or the cloud (SELVANE_TEST_DOUBAO_KEY)", run};
