// The pure rules: download progress, model names, healing, recorded streams replayed through the
// parsers, the hidden thinking block, the provider catalogue, versions and the once-only flags.
#include <gtest/gtest.h>

#include <algorithm>

#include "engines/chat/ChatStream.h"
#include "engines/chat/CloudClient.h"
#include "engines/chat/ThinkFilter.h"
#include "engines/ollama/LocalEngineHeal.h"
#include "engines/ollama/ManagedOllama.h"
#include "engines/ollama/OllamaService.h"
#include "engines/ollama/QwenClient.h"
#include "settings/CloudProviders.h"
#include "settings/UserFlags.h"
#include "tests/support/Files.h"
#include "tests/support/Printers.h"
#include "tests/support/ScratchHome.h"
#include "update/UpdateChecker.h"

namespace {

using PullLine = ManagedOllama::PullLine;
using PullPhase = ManagedOllama::PullPhase;
using Outcome = LocalEngineHeal::Outcome;

PullLine progress(const PullPhase& phase)
{
    return {PullLine::Kind::progress, phase, {}};
}

TEST(ManagedOllamaRules, PullLinesAreClassified)
{
    const std::pair<const char*, PullLine> cases[] = {
        {R"({"status":"pulling 8eeb52dfb3bb","digest":"sha256:8e","total":100,"completed":25})",
         progress(PullPhase::downloading(0.25))},
        {R"({"status":"pulling 8eeb52dfb3bb","total":100})", progress(PullPhase::downloading(0))},
        {R"({"status":"pulling 8eeb52dfb3bb","total":100,"completed":250})", progress(PullPhase::downloading(1))},
        {R"({"status":"verifying sha256 digest"})", progress(PullPhase::verifying())},
        {R"({"status":"writing manifest"})", progress(PullPhase::verifying())},
        {R"({"status":"Digest check"})", progress(PullPhase::verifying())},
        {R"({"status":"SUCCESS","total":100,"completed":1})", progress(PullPhase::done())},
        {R"({"error":"pull model manifest: file does not exist"})",
         {PullLine::Kind::error, {}, QStringLiteral("pull model manifest: file does not exist")}},
        {R"({"error":"","status":"removing unused layers"})", {}},
        {R"({"status":"pulling x","total":0})", progress(PullPhase::downloading(0))},
        {"not json {{", {}},
        {R"(["status","success"])", {}},
    };
    for (const auto& [line, expected] : cases)
        EXPECT_EQ(ManagedOllama::parsePullLine(QByteArray(line)), expected) << line;
}

TEST(ManagedOllamaRules, ModelNamesMatchAcrossTags)
{
    // listed, asked for, matched by ManagedOllama, matched by OllamaService
    const std::tuple<const char*, const char*, bool, bool> cases[] = {
        {"qwen2.5:7b", "qwen2.5:7b", true, true},   {"qwen2.5:7b", "qwen2.5", true, true},
        {"qwen2.5:7b", "qwen3:8b", false, false},   {"qwen2.5:latest", "qwen2.5", true, true},
        {"qwen2.5", "qwen2.5:latest", true, false}, {"qwen2.5", "qwen2.5:7b", true, false},
        {"qwen2.5:7b", "qwen2", false, false},      {"", "qwen2.5", false, false},
    };
    for (const auto& [listed, name, managed, own] : cases) {
        const QStringList models = QString::fromLatin1(listed).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        EXPECT_EQ(ManagedOllama::listsModel(models, QString::fromLatin1(name)), managed) << name;
        EXPECT_EQ(OllamaService::listsModel(models, QString::fromLatin1(name)), own) << name;
    }
}

TEST(OllamaServiceRules, ListOutputGivesTheNameColumn)
{
    EXPECT_EQ(OllamaService::parseModelList(QStringLiteral("NAME          ID              SIZE      MODIFIED\n"
                                                           "qwen2.5:7b    845dbda0ea48    4.7 GB    2 days ago\n\n"
                                                           "llama3:8b     365c0bd3c000    4.7 GB    3 weeks ago\n")),
              (QStringList{QStringLiteral("qwen2.5:7b"), QStringLiteral("llama3:8b")}));
}

// A built-in engine with a model, a switch keeping the configured model and the switch being one-way
// are LocalEnginesTest's, through the engines themselves.
TEST(LocalEngineHealRules, AnOwnOllamaWithoutModelsIsNotSwitchedToAndItsFirstModelStandsInForAMissingOne)
{
    const QString qwen = QStringLiteral("qwen2.5:7b");
    EXPECT_EQ(LocalEngineHeal::decide(false, {}, {}, qwen), Outcome::noChange());
    EXPECT_EQ(LocalEngineHeal::decide(false, {}, {QStringLiteral("llama3:8b"), QStringLiteral("mistral:7b")}, qwen),
              Outcome::switchedToExternal(QStringLiteral("llama3:8b")));
}

TEST(StreamRules, RecordedStreamsGiveTheirAnswerAndNothingElse)
{
    // fixture, server-sent events (else Ollama's lines), the answer trimmed, the stream's error; all
    // but the cut-short zhipu head end with their marker
    const std::tuple<const char*, bool, const char*, const char*> cases[] = {
        {"ollama/chat-stream.200.ndjson", false, "The sky is blue because of Rayleigh scattering.", nullptr},
        {"ollama/chat-stream-length.200.ndjson", false, "The sky", nullptr},
        {"ollama/chat-stream-thinking.200.ndjson", false, "There are 3.", nullptr},
        {"ollama/chat-stream-midstream-error.200.ndjson", false, "The sky",
         "an error was encountered while running the model"},
        {"openai/chat-stream-doc-example.200.sse", true, "Hello", nullptr},
        {"openai/chat-stream-include-usage.200.sse", true, "**Holiday Name:** Harmony.", nullptr},
        {"openai/chat-stream-midstream-error.200.sse", true, "",
         "The server had an error while processing your request. Sorry about that!"},
        {"providers/dashscope/chat-stream-reasoning.200.sse", true, "**Answer: 3**", nullptr},
        {"providers/deepseek/chat-stream-keepalive.200.sse", true, "## **Holiday", nullptr},
        {"providers/gemini-openai/chat-stream-empty-completion.200.sse", true, "", nullptr},
        {"providers/moonshot/chat-stream-usage-in-choice.200.sse", true, "OK", nullptr},
        {"providers/volcengine-ark/chat-stream-reasoning.200.sse", true, "You✧", nullptr},
        {"providers/zhipu/chat-stream-reasoning-head.200.sse", true, "", nullptr},
        {"providers/zhipu/chat-stream.200.sse", true, "你好！我是Claude Code", nullptr},
    };
    for (const auto& [fixture, sse, answer, error] : cases) {
        QString shown;
        ChatStreamReader reader(sse ? &CloudClient::parseSSELine : &QwenClient::parseOllamaStreamLine,
                                [&shown](const QString& fragment) { shown += fragment; });
        const QList<QByteArray> lines =
            readFile(QStringLiteral(QUILLO_TEST_FIXTURES "/wire/") + QLatin1String(fixture)).split('\n');
        if (std::ranges::all_of(
                lines, [&reader](const QByteArray& line) { return reader.consume(line); })) // until done or an error
            reader.finish();
        EXPECT_GT(lines.size(), 1) << fixture;
        EXPECT_EQ(reader.answer().trimmed(), QString::fromUtf8(answer)) << fixture;
        EXPECT_EQ(shown, reader.answer()) << fixture << ": what is shown is what is returned";
        EXPECT_EQ(reader.errorMessage(), error ? std::optional(QString::fromUtf8(error)) : std::nullopt) << fixture;
        EXPECT_EQ(reader.complete(), !error && !QByteArray(fixture).contains("reasoning-head")) << fixture;
    }
}

// The end markers and plain lines of both parsers are rows of --selftest-stream (EngineLifetimeTest).
TEST(StreamRules, DamagedBytesBecomeReplacementCharacters)
{
    const std::tuple<StreamLineParser, QByteArray, StreamLine> cases[] = {
        {&QwenClient::parseOllamaStreamLine,
         "{\"message\":{\"content\":\"a\xff"
         "b\"},\"done\":false}",
         StreamLine::delta(QStringLiteral("a\ufffdb"))},
        {&CloudClient::parseSSELine, "data: {\"choices\":[{\"delta\":{\"content\":\"a\xc3(b\"}}]}",
         StreamLine::delta(QStringLiteral("a\ufffd(b"))},
    };
    for (const auto& [parse, line, expected] : cases)
        EXPECT_EQ(parse(line), expected) << line.constData();
}

TEST(StreamRules, AnOpeningThinkingBlockIsHiddenHoweverTheFragmentsAreCut)
{
    const std::pair<const char*, const char*> cases[] = {
        // text, what is shown of it
        {"<think>\n嗯，先想想。\n</think>\n\n答案是 42。", "答案是 42。"},
        {"  \n<think></think>答", "答"},
        {"<think>没想完", ""},
        {"<thinking> is a tag name", "<thinking> is a tag name"},
        {"先说结论。<think>x</think>", "先说结论。<think>x</think>"},
        {"<thi", "<thi"},
        {"😀<think>", "😀<think>"},
    };
    for (const auto& [original, shownText] : cases) {
        const QString text = QString::fromUtf8(original), expected = QString::fromUtf8(shownText);
        for (qsizetype first = 0; first <= text.size(); ++first) {
            for (qsizetype second = first; second <= text.size(); ++second) {
                ThinkFilter filter;
                QString shown = filter.feed(text.left(first));
                shown += filter.feed(text.mid(first, second - first));
                shown += filter.feed(text.mid(second));
                shown += filter.finish();
                ASSERT_EQ(shown, expected) << original << " cut at " << first << "," << second;
            }
        }
        EXPECT_EQ(ThinkFilter::strip(text), expected);
    }
}

TEST(UpdateCheckerRules, VersionsCompareByNumberedPieces)
{
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"1.10", "1.9", true},
        {"1.2.1", "1.2", true},
        {"1.2", "1.2.0", false},
        {"1.9", "1.10", false},
        {" 1.3 ", "1.2", true},
        {"1.02", "1.1", true},
        {"18446744073709551617", "18446744073709551616", true},
        {"1..2", "1.0", false},
        {"1.2b", "1.0", false},
        {"2.0", "", false},
    };
    for (const auto& [a, b, newer] : cases)
        EXPECT_EQ(UpdateChecker::isNewer(QString::fromLatin1(a), QString::fromLatin1(b)), newer) << a << " vs " << b;
}

// The catalogue itself is data; what the code adds to it is the fallback for an id it does not hold.
TEST(CloudProviderRules, UnknownIdsFallBackToTheDefault)
{
    for (const QString& unknown : {QString(), QStringLiteral("Kimi"), QStringLiteral("mistral")})
        EXPECT_EQ(CloudProviders::find(unknown).id, QStringLiteral("doubao")) << unknown.toStdString();
}

TEST(UserFlagsRules, ANoticeIsClaimedOncePerAccountAndStaysInTheScratchHome)
{
    ScratchHome home;
    EXPECT_TRUE(LocalEngineHeal::claimSwitchNotice());
    EXPECT_FALSE(LocalEngineHeal::claimSwitchNotice());
    EXPECT_TRUE(UserFlags::isSet(UserFlags::autoSwitchedToExternalNotified)
                && !UserFlags::isSet(UserFlags::upgradeAXPrompted));
    EXPECT_TRUE(UserFlags::path().startsWith(home.path()) && QFileInfo::exists(UserFlags::path()));

    ScratchHome another;
    EXPECT_TRUE(LocalEngineHeal::claimSwitchNotice()) << "another account has not seen the notice";
}

}
