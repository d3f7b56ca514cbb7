#include "app/Modes.h"

#include <csignal>

#include <QEventLoop>
#include <QFile>

#include "app/AppServices.h"
#include "app/commands/AskArguments.h"
#include "app/commands/AskOutput.h"
#include "engines/ollama/AIReadiness.h"
#include "memory/KnowledgeStore.h"
#include "memory/RecallBanner.h"
#include "platform/PlatformServices.h"
#include "popup/ActionEngine.h"
#include "popup/ActionSession.h"
#include "prompts/ActionOptions.h"
#include "settings/DataNotices.h"
#include "settings/L10n.h"
#include "settings/SettingsStore.h"

namespace {

constexpr int exitAnswered = 0;
constexpr int exitFailed = 1;
constexpr int exitUsage = 2;

int usageError(const QString& problem)
{
    AskOutput::note(QStringLiteral("quillo --ask: ") + problem);
    AskOutput::note(QStringLiteral("Usage: quillo --ask %1").arg(QString::fromUtf8(askArgumentSynopsis)));
    AskOutput::note(QStringLiteral("      ") + QString::fromUtf8(askUsageText));
    return exitUsage;
}

// Files kept aside and settings ignored: each told once, on standard error.
void tellDataNotices()
{
    for (const QString& notice : DataNotices::take())
        AskOutput::note(notice);
}

QString readStandardInput()
{
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(input.readAll());
}

// The action asked for, with the options of the command line over the stored defaults (not
// saved) and its engine from the command line or the settings.
PopupAction askedAction(const AskRequest& request, const QString& text, const AppSettings& settings,
                        const std::shared_ptr<ActionOptions>& options)
{
    options->scenarioId = request.scenarioId.value_or(options->scenarioId);
    options->creativity = request.creativity.value_or(options->creativity);
    options->explainModeId = request.explainModeId.value_or(options->explainModeId);
    options->translateDirection = request.translateDirection.value_or(options->translateDirection);
    const std::optional<QString> before = settings.useContext ? request.before : std::nullopt;
    const std::optional<QString> after = settings.useContext ? request.after : std::nullopt;
    const QList<PopupAction> actions = buildActions(text, *options, before, after);
    PopupAction action = *std::find_if(actions.cbegin(), actions.cend(),
                                       [&request](const PopupAction& a) { return a.actionKey == request.actionKey; });
    action.useLocal = request.useLocal.value_or(usesLocalEngine(settings, request.actionKey));
    return action;
}

// Runs the action and the revisions, writing as the popup would show: the recall banner and
// failures to standard error, the answers to standard output as they stream. Returns the exit
// status: 128 + the signal's number when Ctrl+C or another signal ended the run (SignalQuit).
int drive(ActionSession& session, const QString& text, const PopupAction& action,
          const std::shared_ptr<ActionOptions>& options, QStringList revisions)
{
    QEventLoop loop;
    auto finish = [&session, &loop](int status) {
        // The profile this run started to learn is finished first.
        if (!session.profileRegenerationRunning())
            return loop.exit(status);
        QObject::connect(&session, &ActionSession::profileRegenerationFinished, &loop,
                         [&loop, status] { loop.exit(status); });
    };
    auto endLine = [&session] {
        if (!session.streamBuffer().isEmpty() && !session.streamBuffer().endsWith(QLatin1Char('\n')))
            AskOutput::answer(QStringLiteral("\n"));
    };
    QObject::connect(&session, &ActionSession::recallReady, &loop, [&session] {
        // One line, even when the remembered note has several.
        if (const auto& hit = session.recallHit())
            AskOutput::note(
                RecallBanner::text(*hit).split(QLatin1Char('\n'), Qt::SkipEmptyParts).join(QLatin1Char(' ')));
        session.runAction(0);
    });
    QObject::connect(&session, &ActionSession::deltaAppended, &loop,
                     [](const QString& fragment) { AskOutput::answer(fragment); });
    // The answer still counts; the user learns it was not remembered.
    QObject::connect(&session, &ActionSession::storeFailed, &loop,
                     [](const QString& message) { AskOutput::note(message); });
    QObject::connect(&session, &ActionSession::revisionStarted, &loop, [](int version) {
        AskOutput::answer(QStringLiteral("\n") + L10n::tf("popup.transcript.aiVersion", {QString::number(version)})
                          + QStringLiteral("\n"));
    });
    QObject::connect(&session, &ActionSession::answered, &loop, [&](const QString& latest) {
        if (session.streamBuffer().isEmpty())
            AskOutput::answer(latest + QStringLiteral("\n"));
        endLine();
        if (revisions.isEmpty())
            return finish(exitAnswered);
        session.sendInstruction(revisions.takeFirst());
    });
    auto fail = [&](const QString& message) {
        endLine();
        AskOutput::note(message);
        finish(exitFailed);
    };
    QObject::connect(&session, &ActionSession::runFailed, &loop,
                     [fail](const QString& message, bool) { fail(message); });
    QObject::connect(&session, &ActionSession::revisionFailed, &loop, fail);

    session.open(text, {action}, options, std::nullopt, SourceKind::selection);
    return loop.exec();
}

int runAsk(const QStringList& args)
{
    // A reader that goes away early (`| head`) must not kill the run before the lookup is
    // remembered: writes then fail quietly and the run ends as it would have.
    std::signal(SIGPIPE, SIG_IGN);
    const std::variant<AskRequest, QString> parsed = AskRequest::parse(args);
    if (const QString* problem = std::get_if<QString>(&parsed))
        return usageError(*problem);
    const AskRequest& request = std::get<AskRequest>(parsed);
    const QString text = request.text ? *request.text : readStandardInput();
    if (text.trimmed().isEmpty())
        return usageError(QStringLiteral("the text is blank"));

    const AppSettings settings = SettingsStore::load();
    tellDataNotices();
    if (AIReadiness::current(settings) == AIReadiness::neitherConfigured) {
        AskOutput::note(L10n::t("notReady.body"));
        return exitFailed;
    }
    const std::shared_ptr<ActionOptions> options = ActionOptions::fromStoredDefaults(settings);
    const PopupAction action = askedAction(request, text, settings, options);
    int status = exitFailed;
    {
        AppServices services;
        ActionSession session(services.actionEngine(), services.knowledge(), services.tasks(),
                              *Platform::services().workspace);
        status = drive(session, text, action, options, request.revisions);
    }
    tellDataNotices();
    return status;
}

}

const Mode askMode = {AppObject::core, askArgumentSynopsis, askUsageText, runAsk};
