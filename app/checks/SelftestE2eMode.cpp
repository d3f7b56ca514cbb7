#include "app/Modes.h"

#include <QFileInfo>
#include <QPushButton>

#include "app/AppServices.h"
#include "app/OffscreenApplication.h"
#include "app/Out.h"
#include "core/ActionKey.h"
#include "engines/ollama/AIReadiness.h"
#include "engines/ollama/EngineControl.h"
#include "platform/PlatformServices.h"
#include "popup/ActionSession.h"
#include "popup/view/PanelDriver.h"
#include "prompts/ActionOptions.h"
#include "settings/HomeDir.h"
#include "settings/L10n.h"
#include "settings/SettingsStore.h"
#include "ui/InstructionInput.h"

namespace {

const QString sample = QStringLiteral("落霞与孤鹜齐飞，秋水共长天一色。");
constexpr int answerTimeoutMs = 180000;

bool step(bool passed, const QString& what)
{
    out((passed ? QStringLiteral("ok: ") : QStringLiteral("failed: ")) + what);
    return passed;
}

// Clicks the button as a user would and waits for its answer; reports the step.
bool clickForAnswer(PanelDriver& driver, const QString& name)
{
    switch (driver.clickForAnswer(name, answerTimeoutMs)) {
    case PanelDriver::Run::answered: return step(true, name + QStringLiteral(" answered"));
    case PanelDriver::Run::failed: return step(false, name + QStringLiteral(": ") + driver.failure());
    case PanelDriver::Run::noControl: return step(false, QStringLiteral("no button ") + name);
    case PanelDriver::Run::timedOut: break;
    }
    return step(false, name + QStringLiteral(" answered"));
}

bool run(PopupPanel& panel, KnowledgeStore& store)
{
    PanelDriver drive(panel);
    int fragments = 0;
    QObject::connect(&panel.session(), &ActionSession::deltaAppended, [&fragments] { ++fragments; });
    const std::shared_ptr<ActionOptions> options = ActionOptions::fromStoredDefaults(SettingsStore::load());
    const QList<PopupAction> actions = buildActions(sample, *options, std::nullopt, std::nullopt);
    panel.showActions(L10n::tf("popup.header.read", {QString::number(sample.size())}), sample, actions, options,
                      std::nullopt, SourceKind::selection);
    if (!step(panel.isShown(), QStringLiteral("popup shown")))
        return false;

    const PopupAction explain = *std::find_if(actions.cbegin(), actions.cend(),
                                              [](const PopupAction& a) { return a.actionKey == ActionKey::explain; });
    if (!clickForAnswer(drive, explain.title))
        return false;
    const ActionSession& session = panel.session();
    if (!step(fragments > 0 && session.inConversation() && session.transcript().size() == 1,
              QStringLiteral("streamed %1 fragments into version 1").arg(fragments)))
        return false;

    auto* input = panel.content()->findChild<InstructionInput*>();
    if (!step(input && input->isEnabled(), QStringLiteral("instruction input ready")))
        return false;
    input->setPlainText(QStringLiteral("再短一点"));
    if (!clickForAnswer(drive, L10n::t("popup.btn.send")))
        return false;
    const QList<ActionSession::TranscriptEntry> transcript = session.transcript();
    if (!step(transcript.size() == 3 && transcript.last().version == 2, QStringLiteral("revision is version 2")))
        return false;

    const std::optional<QString> entryId = session.currentEntryId();
    if (!step(entryId.has_value(), QStringLiteral("answer remembered (autoRemember on)")))
        return false;
    QPushButton* favourite = drive.named<QPushButton>(L10n::t("popup.btn.fav.off"));
    if (favourite)
        favourite->click();
    const std::optional<KnowledgeEntry> entry = store.entry(*entryId);
    if (!step(entry && entry->favorite && entry->resultText == session.currentResult()
                  && drive.named<QPushButton>(L10n::t("popup.btn.fav.on")),
              QStringLiteral("favourite set on the newest version")))
        return false;

    const auto collected = [&store] {
        const QList<KnowledgeEntry> all = store.all();
        return std::count_if(all.cbegin(), all.cend(),
                             [](const KnowledgeEntry& e) { return e.isCollected && e.sourceText == sample; });
    };
    const qsizetype before = collected();
    if (QPushButton* collect = drive.named<QPushButton>(L10n::t("popup.btn.collect")))
        collect->click();
    return step(collected() == before + 1, QStringLiteral("selection collected"));
}

int selftestE2e(const QStringList&)
{
    const QString knowledgeFile = qEnvironmentVariable("SELVANE_KNOWLEDGE_FILE");
    const QString realStore = HomeDir::dataDir() + QStringLiteral("/knowledge.json");
    if (knowledgeFile.isEmpty()
        || QFileInfo(knowledgeFile).absoluteFilePath() == QFileInfo(realStore).absoluteFilePath()) {
        out(QStringLiteral("E2E_SELFTEST_FAIL: set SELVANE_KNOWLEDGE_FILE to a throw-away file, away from ")
            + realStore);
        return 1;
    }
    if (AIReadiness::current(SettingsStore::load()) == AIReadiness::neitherConfigured) {
        out(QStringLiteral("E2E_SELFTEST_FAIL: no engine is configured"));
        return 1;
    }
    const OffscreenApplication app;
    bool passed = false;
    {
        AppServices services;
        PopupPanel panel(
            {services.actionEngine(), services.knowledge(), services.tasks(), {}, Platform::services(), [] {
                 return SettingsStore::load().fontScale;
             }});
        passed = run(panel, services.knowledge());
        panel.close();
        services.engines()->shutdown();
    }
    out(passed ? QStringLiteral("E2E_SELFTEST_PASS") : QStringLiteral("E2E_SELFTEST_FAIL"));
    return passed ? 0 : 1;
}

}

const Mode selftestE2eMode = {AppObject::none, nullptr,
                              "drive the action popup end to end on a throw-away knowledge file", selftestE2e};
