#include "app/Modes.h"

#include <QStringList>

#include "app/Out.h"
#include "engines/chat/ChatStream.h"
#include "engines/chat/CloudClient.h"
#include "engines/ollama/QwenClient.h"

namespace {

struct LineCase {
    const char* line;
    StreamLine expected;
};

struct ReplayCase {
    QList<QByteArray> lines;
    QString answer;
    QStringList fragments;
};

StreamLine delta(const char* text)
{
    return StreamLine::delta(QString::fromUtf8(text));
}
StreamLine error(const char* text)
{
    return StreamLine::error(QString::fromUtf8(text));
}

QString shown(const StreamLine& line)
{
    static const char* kinds[] = {"delta", "error", "done", "ignore"};
    return QString::fromLatin1(kinds[int(line.kind)]) + QStringLiteral("(") + line.text + QStringLiteral(")")
        + (line.endsAnswer ? QStringLiteral(" ending the answer") : QString());
}

// Checks every case of one parser; prints each failure and a summary line; true when all passed.
bool check(const char* name, StreamLineParser parse, const QList<LineCase>& lines, const QList<ReplayCase>& replays)
{
    int failures = 0;
    for (const LineCase& c : lines) {
        const StreamLine got = parse(QByteArray(c.line));
        if (!(got == c.expected)) {
            out(QStringLiteral("%1: %2 → %3, expected %4")
                    .arg(QLatin1String(name), QString::fromUtf8(c.line), shown(got), shown(c.expected)));
            ++failures;
        }
    }
    for (const ReplayCase& replay : replays) {
        QStringList fragments;
        ChatStreamReader reader(parse, [&fragments](const QString& fragment) { fragments.append(fragment); });
        bool reading = true;
        for (qsizetype i = 0; i < replay.lines.size() && reading; ++i)
            reading = reader.consume(replay.lines[i]);
        if (reading)
            reader.finish();
        if (reader.answer() != replay.answer || fragments != replay.fragments) {
            out(QStringLiteral("%1: replay gave \"%2\" in %3 fragments, expected \"%4\"")
                    .arg(QLatin1String(name), reader.answer())
                    .arg(fragments.size())
                    .arg(replay.answer));
            ++failures;
        }
    }
    out(QStringLiteral("%1: %2 of %3 cases passed")
            .arg(QLatin1String(name))
            .arg(lines.size() + replays.size() - failures)
            .arg(lines.size() + replays.size()));
    return failures == 0;
}

QByteArray ollamaContent(const char* text)
{
    return QByteArray(R"({"message":{"role":"assistant","content":")") + text + R"("},"done":false})";
}

QByteArray sseContent(const char* text)
{
    return QByteArray(R"(data: {"choices":[{"index":0,"delta":{"content":")") + text + R"("},"finish_reason":null}]})";
}

bool checkOllama()
{
    const QList<LineCase> lines = {
        {R"({"message":{"content":"你"},"done":false})", delta("你")},
        {R"({"message":{"content":"好呀"},"done":false})", delta("好呀")},
        {R"({"message":{"content":""},"done":true})", StreamLine::done()},
        {R"({"done":true})", StreamLine::done()},
        {R"({"message":{"content":"末尾"},"done":true})", StreamLine::delta(QStringLiteral("末尾"), true)},
        {" \t ", StreamLine::ignore()},
        {"这不是json{{{", StreamLine::ignore()},
        {R"({"message":{"content")", StreamLine::ignore()},
        {R"(["not","an","object"])", StreamLine::ignore()},
        {R"({"message":{"content":"","thinking":"Okay"},"done":false})", StreamLine::ignore()},
        {R"({"error":"model not found"})", error("model not found")},
        {R"({"error":""})", StreamLine::ignore()},
        {R"({"message":{"content":"第一行\n第二行"},"done":false})", delta("第一行\n第二行")},
        {R"({"message":{"content":"🚀✨"},"done":false})", delta("🚀✨")},
        {R"({"message":{"content":"他说\"你好\""},"done":false})", delta("他说\"你好\"")},
    };
    const QList<ReplayCase> replays = {
        {{ollamaContent("椰林"), ollamaContent("深处"), "{broken", ollamaContent("有家小店"), R"({"done":true})",
          ollamaContent("不该出现")},
         QStringLiteral("椰林深处有家小店"),
         {QStringLiteral("椰林"), QStringLiteral("深处"), QStringLiteral("有家小店")}},
        {{ollamaContent("<th"), ollamaContent("ink>\\n想想"), ollamaContent("</thi"), ollamaContent("nk>\\n\\n答"),
          ollamaContent("案"), R"({"done":true})"},
         QStringLiteral("答案"),
         {QStringLiteral("答"), QStringLiteral("案")}},
    };
    return check("ollama", &QwenClient::parseOllamaStreamLine, lines, replays);
}

bool checkSse()
{
    const QList<LineCase> lines = {
        {R"(data: {"choices":[{"delta":{"content":"你"}}]})", delta("你")},
        {R"(data:{"choices":[{"delta":{"content":"好"}}]})", delta("好")},
        {R"(data: {"choices":[{"message":{"content":"整段"}}]})", delta("整段")},
        {"data: [DONE]", StreamLine::done()},
        {"data:[DONE]", StreamLine::done()},
        {R"(data: {"choices":[{"delta":{"role":"assistant"}}]})", StreamLine::ignore()},
        {R"(data: {"choices":[{"delta":{"content":null,"reasoning_content":"We"}}]})", StreamLine::ignore()},
        {R"(data: {"choices":[],"usage":{"total_tokens":25}})", StreamLine::ignore()},
        {R"(data: {"choices":[{"delta":{},"finish_reason":"stop"}]})", StreamLine::ignore(true)},
        {R"(data: {"choices":[{"delta":{"content":"尾"},"finish_reason":"length"}]})",
         StreamLine::delta(QStringLiteral("尾"), true)},
        {"event: message", StreamLine::ignore()},
        {": this is a comment", StreamLine::ignore()},
        {"", StreamLine::ignore()},
        {"data: not json at all", StreamLine::ignore()},
        {R"(data: {"error":{"message":"rate limited","code":"429"}})", error("rate limited")},
        {R"(data: {"error":{"code":"1113"}})", error("云端返回错误")},
        {R"(data: {"choices":[{"delta":{"content":"第一行\n第二行"}}]})", delta("第一行\n第二行")},
        {R"(data: {"choices":[{"delta":{"content":"🎉 好"}}]})", delta("🎉 好")},
    };
    const QList<ReplayCase> replays = {
        {{R"(data: {"choices":[{"delta":{"role":"assistant","content":""}}]})", sseContent("今天"), sseContent("天气"),
          sseContent("不错"), R"(data: {"choices":[{"delta":{},"finish_reason":"stop"}]})", "data: [DONE]",
          sseContent("多余")},
         QStringLiteral("今天天气不错"),
         {QStringLiteral("今天"), QStringLiteral("天气"), QStringLiteral("不错")}},
    };
    return check("sse", &CloudClient::parseSSELine, lines, replays);
}

int run(const QStringList&)
{
    const bool ollama = checkOllama();
    const bool sse = checkSse();
    out(ollama && sse ? QStringLiteral("STREAM_SELFTEST_PASS") : QStringLiteral("STREAM_SELFTEST_FAIL"));
    return ollama && sse ? 0 : 1;
}

}

const Mode selftestStreamMode = {AppObject::none, nullptr, "check the stream parsers of both engines", run};
