// The knowledge window over 50,000 entries, offscreen: the time from creating it to its list
// painted, and from one keystroke in the search field to the list painted again (a first letter
// that every entry is searched for, and the backspace that lists them all again). Run by hand
// from a Release build: build/bin/bench_knowledge_window
#include <benchmark/benchmark.h>

#include <chrono>
#include <random>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>

#include "core/TaskPool.h"
#include "memory/KnowledgeCodec.h"
#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"
#include "platform/PlatformServices.h"
#include "settings/PrivateFile.h"
#include "windows/KnowledgeWindow.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int entryCount = 50000;

QString text(std::mt19937& random, const QString& alphabet, int length)
{
    std::uniform_int_distribution<qsizetype> pick(0, alphabet.size() - 1);
    QString text;
    for (int i = 0; i < length; ++i)
        text += alphabet[pick(random)];
    return text;
}

// A year or more of use: short selections, answers of a few hundred characters, a snippet in ten.
struct Fixture {
    Fixture()
    {
        const QString han = QStringLiteral(
            "的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会可主发年动同工也能下过子说产种面而方"
            "后多定行学法所民得经十三之进着等部度家电力里如水化高自二理起小物现实加量都两体制机当");
        const QString latin = QStringLiteral("abcdefghijklmnopqrstuvwxyz     ");
        std::mt19937 random(7);
        QList<KnowledgeEntry> entries;
        const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-400);
        for (int i = 0; i < entryCount; ++i) {
            KnowledgeEntry entry;
            entry.id = KnowledgeEntry::newId();
            entry.isCollected = i % 10 == 9;
            entry.action = entry.isCollected ? KnowledgeEntry::collectionAction : QStringLiteral("解释");
            entry.sourceText = i % 3 == 2 ? text(random, latin, 40) : text(random, han, 20);
            entry.resultText = entry.isCollected ? QString() : text(random, han, 300);
            entry.appName = QStringLiteral("Firefox");
            entry.createdAt = entry.updatedAt = start.addSecs(i * 600);
            entries.append(entry);
        }
        PrivateFile::writeAtomically(path, KnowledgeCodec::encode(entries));
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("knowledge.json"));
    SemanticRecall semantic{std::make_shared<NoSentenceEmbedder>()};
};

Fixture& fixture()
{
    static Fixture fixture;
    return fixture;
}

// Whether the widget painted since the last look.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        m_painted |= event->type() == QEvent::Paint;
        return false;
    }
    void waitForPaint()
    {
        m_painted = false;
        while (!m_painted)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }

private:
    bool m_painted = false;
};

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_TimeToShow(benchmark::State& state)
{
    KnowledgeStore store(fixture().path, fixture().semantic);
    TaskPool tasks(1);
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        KnowledgeWindow window(store, tasks, nullptr, *Platform::services().clipboard);
        PaintWatch painted(window.findChild<QListView*>()->viewport());
        window.showAndRaise();
        painted.waitForPaint();
        state.SetIterationTime(secondsSince(start));
    }
}

void typeKey(QWidget* field, int key, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(field, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(field, &release);
}

// Times the first letter typed (`narrowing`) or the backspace after it.
void keystroke(benchmark::State& state, bool narrowing)
{
    KnowledgeStore store(fixture().path, fixture().semantic);
    TaskPool tasks(1);
    KnowledgeWindow window(store, tasks, nullptr, *Platform::services().clipboard);
    PaintWatch painted(window.findChild<QListView*>()->viewport());
    window.showAndRaise();
    painted.waitForPaint();
    auto* search = window.findChild<QLineEdit*>();
    search->setFocus();
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        typeKey(search, Qt::Key_E, QStringLiteral("e"));
        painted.waitForPaint();
        if (narrowing)
            state.SetIterationTime(secondsSince(start));
        start = Clock::now();
        typeKey(search, Qt::Key_Backspace, {});
        painted.waitForPaint();
        if (!narrowing)
            state.SetIterationTime(secondsSince(start));
    }
}

void BM_KeystrokeNarrows(benchmark::State& state)
{
    keystroke(state, true);
}
void BM_KeystrokeWidens(benchmark::State& state)
{
    keystroke(state, false);
}

}

BENCHMARK(BM_TimeToShow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_KeystrokeNarrows)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_KeystrokeWidens)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
