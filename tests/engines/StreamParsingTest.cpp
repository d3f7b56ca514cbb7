// Streams recorded from Ollama and from real providers, replayed through the clients' parsers
// and the shared reader.
#include <gtest/gtest.h>

#include "engines/ChatStream.h"
#include "engines/CloudClient.h"
#include "engines/QwenClient.h"
#include "tests/support/Files.h"
#include "tests/support/RunProgram.h"

namespace {

struct Replay {
    QString answer;
    QStringList fragments;
    std::optional<QString> error;
};

Replay replay(const QString& fixture, StreamLineParser parse)
{
    Replay result;
    ChatStreamReader reader(parse, [&result](const QString& fragment) { result.fragments.append(fragment); });
    const QByteArray body = readFile(QStringLiteral(QUILLO_TEST_FIXTURES "/wire/") + fixture);
    EXPECT_FALSE(body.isEmpty()) << fixture.toStdString();
    bool reading = true;
    for (const QByteArray& line : body.split('\n')) {
        if (!(reading = reader.consume(line)))
            break;
    }
    if (reading)
        reader.finish();
    result.answer = reader.answer();
    result.error = reader.errorMessage();
    return result;
}

TEST(StreamParsingTest, RecordedStreamsGiveTheirAnswerAndNothingElse)
{
    const struct {
        const char* fixture;
        bool sse;
        const char* answer; // trimmed
        const char* error;
    } cases[] = {
        {"ollama/chat-stream.200.ndjson", false, "The sky is blue because of Rayleigh scattering.", nullptr},
        {"ollama/chat-stream-length.200.ndjson", false, "The sky", nullptr},
        {"ollama/chat-stream-thinking.200.ndjson", false, "There are 3.", nullptr},
        {"ollama/chat-stream-midstream-error.200.ndjson", false, "The sky", "an error was encountered while running the model"},
        {"openai/chat-stream-doc-example.200.sse", true, "Hello", nullptr},
        {"openai/chat-stream-include-usage.200.sse", true, "**Holiday Name:** Harmony.", nullptr},
        {"openai/chat-stream-midstream-error.200.sse", true, "",
         "The server had an error while processing your request. Sorry about that!"},
        {"providers/dashscope/chat-stream-reasoning.200.sse", true, "**Answer: 3**", nullptr},
        {"providers/deepseek/chat-stream-keepalive.200.sse", true, "## **Holiday", nullptr},
        {"providers/deepseek/chat-stream-reasoning.200.sse", true, "There are **3**.", nullptr},
        {"providers/gemini-openai/chat-stream-empty-completion.200.sse", true, "", nullptr},
        {"providers/moonshot/chat-stream-usage-in-choice.200.sse", true, "OK", nullptr},
        {"providers/volcengine-ark/chat-stream-reasoning.200.sse", true, "You✧", nullptr},
        {"providers/xai/chat-stream-reasoning.200.sse", true, "Hello", nullptr},
        {"providers/zhipu/chat-stream-reasoning-head.200.sse", true, "", nullptr},
        {"providers/zhipu/chat-stream.200.sse", true, "你好！我是Claude Code", nullptr},
    };
    for (const auto& c : cases) {
        const Replay got = replay(QString::fromLatin1(c.fixture), c.sse ? &CloudClient::parseSSELine : &QwenClient::parseOllamaStreamLine);
        EXPECT_EQ(got.answer.trimmed(), QString::fromUtf8(c.answer)) << c.fixture;
        EXPECT_EQ(got.fragments.join(QString()), got.answer) << c.fixture << ": what is shown is what is returned";
        EXPECT_EQ(got.error, c.error ? std::optional(QString::fromUtf8(c.error)) : std::nullopt) << c.fixture;
    }
}

TEST(ThinkFilterTest, AnOpeningBlockIsHiddenHoweverTheFragmentsAreCut)
{
    const struct {
        const char* text;
        const char* shown;
    } cases[] = {
        {"<think>\n嗯，先想想。\n</think>\n\n答案是 42。", "答案是 42。"},
        {"  \n<think></think>答", "答"},
        {"<think>没想完", ""},
        {"<thinking> is a tag name", "<thinking> is a tag name"},
        {"先说结论。<think>x</think>", "先说结论。<think>x</think>"},
        {"<thi", "<thi"},
        {"😀<think>", "😀<think>"},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        for (qsizetype first = 0; first <= text.size(); ++first) {
            for (qsizetype second = first; second <= text.size(); ++second) {
                ThinkFilter filter;
                QString shown = filter.feed(text.left(first));
                shown += filter.feed(text.mid(first, second - first));
                shown += filter.feed(text.mid(second));
                shown += filter.finish();
                ASSERT_EQ(shown, QString::fromUtf8(c.shown)) << c.text << " cut at " << first << "," << second;
            }
        }
        EXPECT_EQ(ThinkFilter::strip(text), QString::fromUtf8(c.shown));
    }
}

TEST(StreamParsingTest, TheCommandLineCheckPasses)
{
    const ProgramResult result = runProgram(quilloBinary(), {QStringLiteral("--selftest-stream")});
    EXPECT_EQ(result.exitCode, 0) << result.out.toStdString();
    EXPECT_TRUE(result.out.endsWith("STREAM_SELFTEST_PASS\n")) << result.out.toStdString();
}

}
