// Knowledge store timings at 1,000, 10,000 and 50,000 entries: add and toggleFavorite (each
// journalled and flushed; every 1,000 changes the journal is folded into the file on the store's
// own thread) with the longest single call, search, exact recall and semantic recall with a warm
// embedding cache. Run by hand from a Release build, on the disk the knowledge file lives on:
//   build/bin/bench_knowledge_store
#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <random>

#include <QFile>
#include <QTemporaryDir>

#include "memory/KnowledgeCodec.h"
#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"
#include "settings/PrivateFile.h"

namespace {

// Stands in for a sentence model: hashed character pairs in as many dimensions as bge-m3 gives.
class HashingEmbedder final : public SentenceEmbedder {
public:
    bool hasModel(Language, std::stop_token) override { return true; }
    std::optional<Embedding> vector(Language, const QString& text, std::stop_token) override
    {
        Embedding vector(1024, 0.0);
        for (qsizetype i = 0; i + 1 < text.size(); ++i)
            vector[qHash(text.mid(i, 2)) % vector.size()] += 1.0;
        return vector;
    }
};

const QString kHan = QStringLiteral(
    "的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会可主发年动同工也能下过子说产种面而方后多定行"
    "学法所民得经十三之进着等部度家电力里如水化高自二理起小物现实加量都两体制机当使点从业本去把性好应开它合还因由其些然"
    "前外天政四日那社义事平形相全表间样与关各重新线内数正心反你明看原又么利比或但质气第向道命此变条只没结解问意建月公无"
    "系军很情者最立代想已通并提直题党程展五果料象员革位入常文总次品式活设及管特件长求老头基资边流路级少图山统接知较将组"
    "见计别她手角期根论运农指几九区强放决西被干做必战先回则任取据处队南给色光门即保治北造百规热领七海口东导器压志世金增"
    "争济阶油思术极交受联什认六共权收证改清己美再采转更单风切打白教速花带安场身车例真务具万每目至达走积示议声报斗完类八"
    "离华名确才科张信马节话米整空元况今集温传土许步群广石记需段研界拉林律叫且究观越织装影算低持音众书布复容儿须际商非验"
    "连断深难近矿千周委素技备半办青省列习响约支般史感劳便团往酸历市克何除消构府称太准精值号率族维划选标写存候毛亲快效斯"
    "院查江型眼王按格养易置派层片始却专状育厂京识适属圆包火住调满县局照参红细引听该铁价严");
const QStringList kWords =
    QString::fromLatin1(
        "system entropy growth market policy answer reading thermal energy closed open law second first "
        "model language memory profile simple plain deep explain translate rewrite quantum theory field "
        "economy price value network signal noise order disorder heat cold time space light")
        .split(QLatin1Char(' '));

QString chineseText(std::mt19937& random, int length)
{
    QString text;
    std::uniform_int_distribution<qsizetype> pick(0, kHan.size() - 1);
    for (int i = 0; i < length; ++i)
        text += kHan[pick(random)];
    return text;
}

QString englishText(std::mt19937& random, int words)
{
    QStringList text;
    std::uniform_int_distribution<qsizetype> pick(0, kWords.size() - 1);
    for (int i = 0; i < words; ++i)
        text.append(kWords[pick(random)]);
    return text.join(QLatin1Char(' '));
}

// A knowledge file of `count` lookups, as a year or more of use would leave it: short selections
// (two in three Chinese) with answers of a few hundred characters.
class Fixture {
public:
    explicit Fixture(int count)
    {
        std::mt19937 random(count);
        QList<KnowledgeEntry> entries;
        const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-400);
        for (int i = 0; i < count; ++i) {
            KnowledgeEntry entry;
            entry.id = KnowledgeEntry::newId();
            entry.action = QStringLiteral("解释");
            entry.sourceText = i % 3 == 2 ? englishText(random, 8) : chineseText(random, 20);
            entry.resultText = chineseText(random, 300);
            entry.appName = QStringLiteral("Firefox");
            entry.createdAt = entry.updatedAt = start.addSecs(i * 600);
            entries.append(entry);
        }
        path = dir.path() + QStringLiteral("/knowledge.json");
        PrivateFile::writeAtomically(path, KnowledgeCodec::encode(entries));
        // A change left in the journal makes the store fold it in when it opens, so the timed
        // folds find every entry encoded, as in a process that has folded before.
        KnowledgeStore(path, semantic).updateResult(entries.first().id, QStringLiteral("回答"));
        store = std::make_unique<KnowledgeStore>(path, semantic);
        firstSource = entries.first().sourceText;
    }

    QTemporaryDir dir;
    QString path;
    SemanticRecall semantic{std::make_shared<HashingEmbedder>()};
    std::unique_ptr<KnowledgeStore> store;
    QString firstSource;
};

// Times each call on its own: the mean is the benchmark's time; the longest call, the calls over
// 10 ms, the calls that failed and the folds that replaced the file meanwhile are counters.
template <typename Call>
void timeEachCall(benchmark::State& state, const QString& path, Call call)
{
    using Clock = std::chrono::steady_clock;
    Clock::duration longest{};
    int failed = 0;
    int folds = 0;
    int slow = 0;
    struct stat file { };
    ::stat(QFile::encodeName(path).constData(), &file);
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        if (!call())
            ++failed;
        const Clock::duration took = Clock::now() - start;
        longest = std::max(longest, took);
        slow += took > std::chrono::milliseconds(10);
        state.PauseTiming();
        const ino_t before = file.st_ino;
        ::stat(QFile::encodeName(path).constData(), &file);
        folds += file.st_ino != before;
        state.ResumeTiming();
    }
    state.counters["max_ms"] = std::chrono::duration<double, std::milli>(longest).count();
    state.counters["failed"] = failed;
    state.counters["folds"] = folds;
    state.counters["over_10ms"] = slow;
}

void BM_Add(benchmark::State& state)
{
    Fixture fixture(int(state.range(0)));
    timeEachCall(state, fixture.path, [&fixture] {
        return fixture.store
            ->add(QStringLiteral("解释"), QStringLiteral("新的选中文字"), QStringLiteral("回答").repeated(150),
                  QString())
            .has_value();
    });
}

void BM_ToggleFavorite(benchmark::State& state)
{
    Fixture fixture(int(state.range(0)));
    const QString id = fixture.store->all().constFirst().id; // the newest, last in the file
    timeEachCall(state, fixture.path, [&fixture, &id] { return fixture.store->toggleFavorite(id).has_value(); });
}

void BM_Search(benchmark::State& state)
{
    Fixture fixture(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(fixture.store->list(KnowledgeStore::Listing::lookups, QStringLiteral("entropy")));
}

// Reading the base, as every start and `quillo --ask` does.
void BM_Open(benchmark::State& state)
{
    Fixture fixture(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(KnowledgeStore(fixture.path, fixture.semantic).count());
}

void BM_ExactRecall(benchmark::State& state)
{
    Fixture fixture(int(state.range(0)));
    const QString selection = QStringLiteral("  ") + fixture.firstSource + QStringLiteral("\n");
    for (auto _ : state) {
        const auto hit = fixture.store->recall(selection);
        if (!hit || hit->semantic)
            state.SkipWithError("no exact hit");
    }
}

// A query no entry contains, so every candidate that passes the Han prefilter is compared.
void semanticRecall(benchmark::State& state, const QString& query)
{
    Fixture fixture(int(state.range(0)));
    fixture.store->recall(query);
    for (auto _ : state)
        benchmark::DoNotOptimize(fixture.store->recall(query));
}

void BM_SemanticRecallEnglish(benchmark::State& state)
{
    semanticRecall(state, QStringLiteral("why does disorder always grow in a closed box"));
}

void BM_SemanticRecallChinese(benchmark::State& state)
{
    semanticRecall(state, QStringLiteral("为什么封闭系统的熵总是增加"));
}

}

// Enough calls that folds run beside most of them, back to back at 50,000 entries.
BENCHMARK(BM_Add)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond)->Iterations(10000);
BENCHMARK(BM_ToggleFavorite)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond)->Iterations(10000);
BENCHMARK(BM_Search)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Open)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExactRecall)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SemanticRecallEnglish)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SemanticRecallChinese)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
