#include "app/commands/AskArguments.h"

#include "core/ActionKey.h"
#include "settings/EngineChoice.h"

namespace {

template <typename Entry>
QStringList idsOf(const QList<Entry>& catalogue)
{
    QStringList ids;
    for (const Entry& entry : catalogue)
        ids.append(entry.id);
    return ids;
}

QString notOneOf(const QString& option, const QString& value, const QStringList& allowed)
{
    return QStringLiteral("%1: \"%2\" is not one of %3").arg(option, value, allowed.join(QStringLiteral(", ")));
}

std::optional<QString> actionKeyOf(const QString& name)
{
    if (name == QLatin1String("explain"))
        return ActionKey::explain;
    if (name == QLatin1String("translate"))
        return ActionKey::translate;
    if (name == QLatin1String("rewrite"))
        return ActionKey::rewrite;
    return std::nullopt;
}

// Takes one option with its value into the request; what is wrong otherwise.
std::optional<QString> take(AskRequest& request, const QString& option, const QString& value)
{
    auto oneOf = [&](const QStringList& allowed, std::optional<QString>& field) -> std::optional<QString> {
        if (!allowed.contains(value))
            return notOneOf(option, value, allowed);
        field = value;
        return std::nullopt;
    };
    if (option == QLatin1String("--engine")) {
        const std::optional<EngineChoice> engine = EngineChoices::parse(value);
        if (!engine)
            return notOneOf(option, value,
                            {EngineChoices::stored(EngineChoice::local), EngineChoices::stored(EngineChoice::cloud)});
        request.useLocal = engine == EngineChoice::local;
    } else if (option == QLatin1String("--creativity")) {
        request.creativity = PromptLibrary::creativity(value);
        if (!request.creativity)
            return notOneOf(option, value,
                            {QStringLiteral("faithful"), QStringLiteral("moderate"), QStringLiteral("creative")});
    } else if (option == QLatin1String("--scenario")) {
        return oneOf(idsOf(PromptLibrary::scenarios()), request.scenarioId);
    } else if (option == QLatin1String("--explain-mode")) {
        return oneOf(idsOf(PromptLibrary::explainModes()), request.explainModeId);
    } else if (option == QLatin1String("--to")) {
        return oneOf(PromptLibrary::translateDirectionIds(), request.translateDirection);
    } else if (option == QLatin1String("--before")) {
        request.before = value;
    } else if (option == QLatin1String("--after")) {
        request.after = value;
    } else if (option == QLatin1String("--revise")) {
        if (value.trimmed().isEmpty())
            return QStringLiteral("--revise: the instruction is blank");
        request.revisions.append(value);
    } else {
        return QStringLiteral("unknown option %1").arg(option);
    }
    return std::nullopt;
}

}

std::variant<AskRequest, QString> AskRequest::parse(const QStringList& args)
{
    const qsizetype ask = args.indexOf(QStringLiteral("--ask"));
    if (ask != 1)
        return QStringLiteral("--ask comes first");
    const QStringList rest = args.mid(ask + 1);
    if (rest.isEmpty())
        return QStringLiteral("the action is missing");
    AskRequest request;
    const std::optional<QString> actionKey = actionKeyOf(rest.first());
    if (!actionKey)
        return QStringLiteral("unknown action \"%1\": explain, translate or rewrite").arg(rest.first());
    request.actionKey = *actionKey;

    for (qsizetype i = 1; i < rest.size(); ++i) {
        const QString& argument = rest[i];
        const bool last = i + 1 == rest.size();
        if (argument == QLatin1String("--")) {
            if (i + 2 != rest.size())
                return QStringLiteral("-- must be followed by the text alone");
            request.text = rest[i + 1];
            break;
        }
        if (argument.startsWith(QLatin1String("--"))) {
            if (last)
                return QStringLiteral("%1 needs a value").arg(argument);
            if (const std::optional<QString> problem = take(request, argument, rest[++i]))
                return *problem;
            continue;
        }
        if (!last)
            return QStringLiteral("the text must be the last argument (quote it when it has spaces)");
        if (argument != QLatin1String("-"))
            request.text = argument;
    }
    return request;
}
