#pragma once

#include <optional>
#include <variant>

#include <QString>
#include <QStringList>

#include "prompts/PromptLibrary.h"

// What `quillo --ask ACTION [options] [TEXT]` asks for. Options left out keep the stored defaults.
struct AskRequest {
    QString actionKey;
    std::optional<bool> useLocal;
    std::optional<QString> scenarioId;
    std::optional<PromptLibrary::Creativity> creativity;
    std::optional<QString> explainModeId;
    std::optional<QString> translateDirection;
    std::optional<QString> before;
    std::optional<QString> after;
    QStringList revisions;       // follow-up instructions, in order
    std::optional<QString> text; // none: read standard input

    // The arguments after "--ask" (the first element is the program), or what is wrong with them.
    static std::variant<AskRequest, QString> parse(const QStringList& args);
};

// The argument synopsis and the explanation, as --help shows them.
inline constexpr const char* askArgumentSynopsis = "ACTION [options] [TEXT]";
inline constexpr const char* askUsageText =
    "explain, translate or rewrite TEXT (standard input when it is - or absent)\n"
    "      and stream the answer to standard output. ACTION: explain, translate or rewrite.\n"
    "      --engine local|cloud   the engine to ask (default: the action's engine in the settings)\n"
    "      --scenario ID          rewrite style (general, gongwen, fanwen, zimeiti, email, ...)\n"
    "      --creativity LEVEL     rewrite freedom: faithful, moderate or creative\n"
    "      --explain-mode ID      explanation style: plain, solve, pro, kid or points\n"
    "      --to DIRECTION         translation target: auto, zh, en, ja, ko, fr, de, es or ru\n"
    "      --before TEXT          the text before it and the text after it, as context\n"
    "      --after TEXT           (used when context is switched on in the settings)\n"
    "      --revise INSTRUCTION   a follow-up asking for a new version; repeatable, sent in order\n"
    "      Options apply to this run only. On a terminal, control characters of the answer are\n"
    "      left out (line feeds and tabs kept). Exit status: 0 answered (and remembered, also when\n"
    "      the reader of the output left early), 1 no engine, the engine failed or the answer was\n"
    "      cut off, 2 usage error, 130 interrupted.";
