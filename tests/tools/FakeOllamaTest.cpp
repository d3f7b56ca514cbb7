// fake_ollama where it must behave like the real server: pull order, models on disk, list, delete.
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonDocument>

#include "engines/http/Http.h"
#include "tests/support/FakeServers.h"
#include "tests/support/RunProgram.h"

namespace {

class FakeOllamaTest : public ::testing::Test {
protected:
    FakeOllamaServer ollama;

    void SetUp() override { ASSERT_TRUE(ollama.isAnswering()); }

    QList<QJsonObject> pullLines(const QString& model)
    {
        QList<QJsonObject> lines;
        Http::streamLines(Http::Request::json("POST", ollama.baseUrl() + QStringLiteral("/api/pull"), {{QStringLiteral("model"), model}}),
                          [&lines](const QByteArray& line) {
                              lines.append(QJsonDocument::fromJson(line).object());
                              return true;
                          });
        return lines;
    }

    QStringList statuses(const QList<QJsonObject>& lines)
    {
        QStringList result;
        for (const QJsonObject& line : lines) {
            const QString status = line.value(QStringLiteral("status")).toString(line.value(QStringLiteral("error")).toString());
            if (result.isEmpty() || result.last() != status)
                result.append(status);
        }
        return result;
    }

    QString listOutput()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("OLLAMA_HOST"), QStringLiteral("127.0.0.1:11434"));
        return QString::fromUtf8(runProgram(fakeOllamaBinary(), {QStringLiteral("list")}, env).out);
    }

    Http::Response post(const QString& path, const QJsonObject& body, const QByteArray& method = "POST")
    {
        return Http::fetch(Http::Request::json(method, ollama.baseUrl() + path, body));
    }
};

TEST_F(FakeOllamaTest, APulledModelIsAFileThatListingAndDeletingSee)
{
    const QList<QJsonObject> first = pullLines(QStringLiteral("qwen2.5:3b"));
    const QString layer = QStringLiteral("pulling ") + first.value(1).value(QStringLiteral("digest")).toString().mid(7, 12);
    const QString params = QStringLiteral("pulling ") + first.value(first.size() - 5).value(QStringLiteral("digest")).toString().mid(7, 12);
    EXPECT_EQ(statuses(first), (QStringList{QStringLiteral("pulling manifest"), layer, params, QStringLiteral("verifying sha256 digest"),
                                            QStringLiteral("writing manifest"), QStringLiteral("success")}));
    EXPECT_FALSE(first.value(1).contains(QStringLiteral("completed"))) << "a fresh layer starts without `completed`";
    EXPECT_EQ(first.value(first.size() - 6).value(QStringLiteral("completed")), first.value(1).value(QStringLiteral("total")));
    EXPECT_TRUE(QFile::exists(ollama.modelsDir() + QStringLiteral("/manifests/registry.ollama.ai/library/qwen2.5/3b")));

    EXPECT_TRUE(statuses(pullLines(QStringLiteral("qwen2.5:3b"))).contains(QStringLiteral("removing unused layers")))
        << "a second pull replaces the manifest";

    const QStringList table = listOutput().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(table.size(), 2);
    EXPECT_TRUE(table[0].startsWith(QLatin1String("NAME          ID              SIZE      MODIFIED")));
    EXPECT_TRUE(table[1].startsWith(QLatin1String("qwen2.5:3b    "))) << table[1].toStdString();
    EXPECT_TRUE(table[1].contains(QLatin1String(" GB "))) << table[1].toStdString();

    const Http::Response removed = post(QStringLiteral("/api/delete"), {{QStringLiteral("model"), QStringLiteral("qwen2.5:3b")}}, "DELETE");
    EXPECT_EQ(removed.status, 200);
    EXPECT_TRUE(removed.body.isEmpty());
    const Http::Response again = post(QStringLiteral("/api/delete"), {{QStringLiteral("model"), QStringLiteral("qwen2.5:3b")}}, "DELETE");
    EXPECT_EQ(again.status, 404);
    EXPECT_TRUE(again.body.contains("not found"));
    EXPECT_EQ(listOutput().split(QLatin1Char('\n'), Qt::SkipEmptyParts).size(), 1) << "only the header is left";
    Http::Request tags;
    tags.url = ollama.baseUrl() + QStringLiteral("/api/tags");
    EXPECT_EQ(Http::fetch(tags).body, "{\"models\":[]}");
}

TEST_F(FakeOllamaTest, PullFailuresLookLikeTheRealOnes)
{
    const QList<QJsonObject> unknown = pullLines(QStringLiteral("nosuch:1b[[unknown]]"));
    ASSERT_EQ(unknown.size(), 2);
    EXPECT_EQ(unknown[1].value(QStringLiteral("error")).toString(), QStringLiteral("pull model manifest: file does not exist"));
    EXPECT_FALSE(QDir(ollama.modelsDir() + QStringLiteral("/manifests/registry.ollama.ai/library/nosuch")).exists());

    EXPECT_EQ(post(QStringLiteral("/api/pull"), {{QStringLiteral("model"), QStringLiteral("bad name!")}}).status, 400);
    EXPECT_EQ(post(QStringLiteral("/api/pull"), {{QStringLiteral("model"), QStringLiteral("qwen2.5:3b[[fail:503]]")}}).status, 503);
}

TEST_F(FakeOllamaTest, ASecondServerOnATakenAddressFails)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("OLLAMA_HOST"), QStringLiteral("127.0.0.1:11434"));
    const ProgramResult second = runProgram(fakeOllamaBinary(), {QStringLiteral("serve")}, env, {}, 10000);
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_TRUE(second.err.contains("address already in use"));
}

}
