// The pure rules of the local engines: download progress, model-name matching, healing
// decisions, version comparison and the once-only flags.
#include <gtest/gtest.h>

#include "app/UpdateChecker.h"
#include "engines/LocalEngineHeal.h"
#include "engines/ManagedOllama.h"
#include "engines/OllamaService.h"
#include "settings/UserFlags.h"
#include "tests/support/Printers.h"
#include "tests/support/ScratchHome.h"

namespace {

using PullLine = ManagedOllama::PullLine;
using PullPhase = ManagedOllama::PullPhase;
using Outcome = LocalEngineHeal::Outcome;

PullLine progress(const PullPhase& phase) { return {PullLine::Kind::progress, phase, {}}; }

TEST(ManagedOllamaRules, PullLinesAreClassified)
{
    const std::pair<const char*, PullLine> cases[] = {
        {R"({"status":"pulling manifest"})", progress(PullPhase::downloading(0))},
        {R"({"status":"pulling 8eeb52dfb3bb","digest":"sha256:8e","total":100,"completed":25})", progress(PullPhase::downloading(0.25))},
        {R"({"status":"pulling 8eeb52dfb3bb","total":100})", progress(PullPhase::downloading(0))},
        {R"({"status":"pulling 8eeb52dfb3bb","total":100,"completed":250})", progress(PullPhase::downloading(1))},
        {R"({"status":"verifying sha256 digest"})", progress(PullPhase::verifying())},
        {R"({"status":"writing manifest"})", progress(PullPhase::verifying())},
        {R"({"status":"Digest check"})", progress(PullPhase::verifying())},
        {R"({"status":"SUCCESS"})", progress(PullPhase::done())},
        {R"({"status":"success","total":100,"completed":1})", progress(PullPhase::done())},
        {R"({"error":"pull model manifest: file does not exist"})", {PullLine::Kind::error, {}, QStringLiteral("pull model manifest: file does not exist")}},
        {R"({"error":"","status":"removing unused layers"})", {}},
        {R"({"status":"pulling x","total":0})", progress(PullPhase::downloading(0))},
        {"   ", {}},
        {"not json {{", {}},
        {R"(["status","success"])", {}},
    };
    for (const auto& [line, expected] : cases)
        EXPECT_EQ(ManagedOllama::parsePullLine(QByteArray(line)), expected) << line;
}

TEST(ManagedOllamaRules, ModelNamesMatchAcrossTags)
{
    struct Case {
        QStringList listed;
        const char* name;
        bool managed; // ManagedOllama::listsModel
        bool own;     // OllamaService::listsModel
    };
    const Case cases[] = {
        {{QStringLiteral("qwen2.5:7b")}, "qwen2.5:7b", true, true},
        {{QStringLiteral("qwen2.5:7b")}, "qwen2.5", true, true},
        {{QStringLiteral("qwen2.5:7b")}, "qwen3:8b", false, false},
        {{QStringLiteral("qwen2.5:latest")}, "qwen2.5", true, true},
        {{QStringLiteral("qwen2.5")}, "qwen2.5:latest", true, false},
        {{QStringLiteral("qwen2.5")}, "qwen2.5:7b", true, false},
        {{QStringLiteral("qwen2.5:7b")}, "qwen2", false, false},
        {{}, "qwen2.5", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ManagedOllama::listsModel(c.listed, QString::fromLatin1(c.name)), c.managed) << c.name;
        EXPECT_EQ(OllamaService::listsModel(c.listed, QString::fromLatin1(c.name)), c.own) << c.name;
    }
}

TEST(OllamaServiceRules, ListOutputGivesTheNameColumn)
{
    EXPECT_EQ(OllamaService::parseModelList(QStringLiteral("NAME    ID    SIZE    MODIFIED\n")), QStringList());
    EXPECT_EQ(OllamaService::parseModelList(QString()), QStringList());
    EXPECT_EQ(OllamaService::parseModelList(QStringLiteral("NAME          ID              SIZE      MODIFIED\n"
                                                           "qwen2.5:7b    845dbda0ea48    4.7 GB    2 days ago\n\n"
                                                           "llama3:8b     365c0bd3c000    4.7 GB    3 weeks ago\n")),
              (QStringList{QStringLiteral("qwen2.5:7b"), QStringLiteral("llama3:8b")}));
}

TEST(LocalEngineHealRules, SwitchesOnlyAnEmptyBuiltInEngineToAnOfferingOwnOllama)
{
    const QString qwen = QStringLiteral("qwen2.5:7b");
    const QString llama = QStringLiteral("llama3:8b");
    const QString mistral = QStringLiteral("mistral:7b");
    EXPECT_EQ(LocalEngineHeal::decide(true, {}, {qwen}, qwen), Outcome::noChange());
    EXPECT_EQ(LocalEngineHeal::decide(false, {qwen}, {qwen}, qwen), Outcome::noChange());
    EXPECT_EQ(LocalEngineHeal::decide(false, {}, {}, qwen), Outcome::noChange());
    EXPECT_EQ(LocalEngineHeal::decide(false, {}, {qwen, llama}, qwen), Outcome::switchedToExternal(qwen));
    EXPECT_EQ(LocalEngineHeal::decide(false, {}, {llama, mistral}, qwen), Outcome::switchedToExternal(llama));
    EXPECT_NE(Outcome::switchedToExternal(qwen), Outcome::switchedToExternal(llama));
}

TEST(UpdateCheckerRules, VersionsCompareByNumberedPieces)
{
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"1.10", "1.9", true},   {"1.2.1", "1.2", true},  {"1.2", "1.2.0", false}, {"2", "1.9.9", true},
        {"1.2", "1.2", false},   {"1.9", "1.10", false},  {" 1.3 ", "1.2", true},  {"1.02", "1.1", true},
        {"18446744073709551617", "18446744073709551616", true},
        {"1..2", "1.0", false},  {"1.2.", "1.0", false},  {"1.2b", "1.0", false}, {"v2", "1.0", false},
        {"2.0", "1..2", false},  {"", "0", false},        {"2.0", "", false},     {"-2", "1", false},
    };
    for (const auto& [a, b, newer] : cases)
        EXPECT_EQ(UpdateChecker::isNewer(QString::fromLatin1(a), QString::fromLatin1(b)), newer) << a << " vs " << b;
}

TEST(UserFlagsRules, ANoticeIsClaimedOncePerAccountAndStaysInTheScratchHome)
{
    ScratchHome home;
    EXPECT_TRUE(LocalEngineHeal::claimSwitchNotice());
    EXPECT_FALSE(LocalEngineHeal::claimSwitchNotice());
    EXPECT_TRUE(UserFlags::isSet(UserFlags::autoSwitchedToExternalNotified));
    EXPECT_FALSE(UserFlags::isSet(UserFlags::upgradeAXPrompted));
    EXPECT_TRUE(UserFlags::path().startsWith(home.path()));
    EXPECT_TRUE(QFileInfo::exists(UserFlags::path()));

    ScratchHome another;
    EXPECT_TRUE(LocalEngineHeal::claimSwitchNotice()) << "another account has not seen the notice";
}

}
