#include "app/modes/Modes.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QPushButton>

#include "app/AppServices.h"
#include "app/OffscreenApplication.h"
#include "app/Out.h"
#include "core/ActionKey.h"
#include "engines/AIReadiness.h"
#include "engines/EngineControl.h"
#include "platform/PlatformServices.h"
#include "popup/ActionSession.h"
#include "popup/view/PopupPanel.h"
#include "prompts/ActionOptions.h"
#include "settings/HomeDir.h"
#include "settings/L10n.h"
#include "settings/SettingsStore.h"
#include "ui/InstructionInput.h"

namespace {

const QString sample = QStringLiteral("落霞与孤鹜齐飞，秋水共长天一色。");
constexpr int answerTimeoutMs = 180000;

// Drives the real panel through its buttons, as a user would, and reports each step.
class Drive {
public:
    explicit Drive(PopupPanel& panel)
        : m_panel(panel)
    {
        ActionSession& session = panel.session();
        QObject::connect(&session, &ActionSession::deltaAppended, [this] { ++m_fragments; });
        QObject::connect(&session, &ActionSession::answered, [this] { ++m_answers; });
        QObject::connect(&session, &ActionSession::runFailed, [this](const QString& message) { m_failure = message; });
        QObject::connect(&session, &ActionSession::revisionFailed,
                         [this](const QString& message) { m_failure = message; });
    }

    static bool step(bool passed, const QString& what)
    {
        out((passed ? QStringLiteral("ok: ") : QStringLiteral("failed: ")) + what);
        return passed;
    }

    QPushButton* button(const QString& name) const
    {
        const QList<QPushButton*> buttons =
            m_panel.content() ? m_panel.content()->findChildren<QPushButton*>() : QList<QPushButton*>();
        const auto found = std::find_if(buttons.cbegin(), buttons.cend(),
                                        [&name](QPushButton* b) { return b->accessibleName() == name; });
        return found == buttons.cend() ? nullptr : *found;
    }

    // Clicks the button and waits for the next answer; false with the reason on a failure.
    bool clickForAnswer(const QString& name)
    {
        QPushButton* target = button(name);
        if (!target || !target->isEnabled())
            return step(false, QStringLiteral("no button ") + name);
        const int answers = m_answers;
        m_failure.clear();
        target->click();
        QElapsedTimer timer;
        timer.start();
        while (m_answers == answers && m_failure.isEmpty() && timer.elapsed() < answerTimeoutMs)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (!m_failure.isEmpty())
            return step(false, name + QStringLiteral(": ") + m_failure);
        return step(m_answers > answers, name + QStringLiteral(" answered"));
    }

    int fragments() const { return m_fragments; }

private:
    PopupPanel& m_panel;
    int m_fragments = 0;
    int m_answers = 0;
    QString m_failure;
};

bool run(PopupPanel& panel, KnowledgeStore& store)
{
    Drive drive(panel);
    const std::shared_ptr<ActionOptions> options = ActionOptions::fromStoredDefaults(SettingsStore::load());
    const QList<PopupAction> actions = buildActions(sample, *options, std::nullopt, std::nullopt);
    panel.showActions(L10n::tf("popup.header.read", {QString::number(sample.size())}), sample, actions, options,
                      std::nullopt, SourceKind::selection);
    if (!drive.step(panel.isShown(), QStringLiteral("popup shown")))
        return false;

    const PopupAction explain = *std::find_if(actions.cbegin(), actions.cend(),
                                              [](const PopupAction& a) { return a.actionKey == ActionKey::explain; });
    if (!drive.clickForAnswer(explain.title))
        return false;
    const ActionSession& session = panel.session();
    if (!drive.step(drive.fragments() > 0 && session.inConversation() && session.transcript().size() == 1,
                    QStringLiteral("streamed %1 fragments into version 1").arg(drive.fragments())))
        return false;

    auto* input = panel.content()->findChild<InstructionInput*>();
    if (!drive.step(input && input->isEnabled(), QStringLiteral("instruction input ready")))
        return false;
    input->setPlainText(QStringLiteral("再短一点"));
    if (!drive.clickForAnswer(L10n::t("popup.btn.send")))
        return false;
    const QList<ActionSession::TranscriptEntry> transcript = session.transcript();
    if (!drive.step(transcript.size() == 3 && transcript.last().version == 2, QStringLiteral("revision is version 2")))
        return false;

    const std::optional<QString> entryId = session.currentEntryId();
    if (!drive.step(entryId.has_value(), QStringLiteral("answer remembered (autoRemember on)")))
        return false;
    QPushButton* favourite = drive.button(L10n::t("popup.btn.fav.off"));
    if (favourite)
        favourite->click();
    const std::optional<KnowledgeEntry> entry = store.entry(*entryId);
    if (!drive.step(entry && entry->favorite && entry->resultText == session.currentResult()
                        && drive.button(L10n::t("popup.btn.fav.on")),
                    QStringLiteral("favourite set on the newest version")))
        return false;

    const auto collected = [&store] {
        const QList<KnowledgeEntry> all = store.all();
        return std::count_if(all.cbegin(), all.cend(),
                             [](const KnowledgeEntry& e) { return e.isCollected && e.sourceText == sample; });
    };
    const qsizetype before = collected();
    if (QPushButton* collect = drive.button(L10n::t("popup.btn.collect")))
        collect->click();
    return drive.step(collected() == before + 1, QStringLiteral("selection collected"));
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
