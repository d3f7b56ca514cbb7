#include "popup/view/PopupPreviews.h"

#include <mutex>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QPixmap>
#include <QTemporaryDir>
#include <QWidget>

#include "core/ActionKey.h"
#include "core/TaskPool.h"
#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"
#include "platform/PlatformServices.h"
#include "popup/ActionEngine.h"
#include "popup/ActionSession.h"
#include "popup/view/PopupPanel.h"
#include "prompts/ActionOptions.h"
#include "settings/L10n.h"
#include "settings/SettingsStore.h"

namespace {

const QString chineseSample =
    QStringLiteral("春天的河流从山里出来，带着融化的雪水和一路上的碎石，把两岸的田野重新唤醒。"
                   "农人们趁着天气转暖，开始修整水渠、翻耕土地，孩子们在堤坝上追着风筝奔跑。"
                   "河水一天比一天涨，颜色也从清澈慢慢变得浑黄，那是上游的泥土被冲了下来，"
                   "也是新一年的养分被送到了平原上。");
const QString englishSample =
    QStringLiteral("The river came down from the hills swollen with snowmelt, and by April the fields on both banks "
                   "were green again.");

// What the sample answers stream, by action, and the revision.
QStringList answerFragments(const QString& actionKey, const QString& selected)
{
    if (selected == englishSample)
        return {QStringLiteral("河水裹着融雪从山里奔流而下，"), QStringLiteral("到了四月，"),
                QStringLiteral("两岸的田野又绿了。")};
    if (actionKey == ActionKey::translate)
        return {QStringLiteral("The spring river comes out of the mountains, "),
                QStringLiteral("carrying meltwater and gravel, "),
                QStringLiteral("and wakes the fields on both banks once more.")};
    if (actionKey == ActionKey::rewrite)
        return {QStringLiteral("春水出山，裹挟雪水与碎石，"), QStringLiteral("唤醒了两岸沉睡的田野。")};
    return {QStringLiteral("这段话写的是春天河流带来的变化：\n"),
            QStringLiteral("1. 河水来自山里的融雪，沿途带下碎石和泥土；\n"),
            QStringLiteral("2. 天气转暖，农人修水渠、翻土地，孩子们放风筝；\n"),
            QStringLiteral("3. 河水变浑是因为上游泥土被冲下，这些泥土正是平原新一年的养分。")};
}

const QStringList revisionFragments = {QStringLiteral("春天融雪汇成河流，"),
                                       QStringLiteral("唤醒田野，也把上游的沃土送到平原。")};

// Streams the answer it was told to give next, whatever it is asked.
class SampleEngine final : public ActionEngine {
public:
    void willAnswer(const QStringList& fragments)
    {
        const std::lock_guard lock(m_mutex);
        m_fragments = fragments;
    }

    ChatResult runChatStream(bool, const ChatMessages&, const DeltaHandler& onDelta, std::stop_token) override
    {
        QStringList fragments;
        {
            const std::lock_guard lock(m_mutex);
            fragments = m_fragments;
        }
        for (const QString& fragment : fragments)
            onDelta(fragment);
        return ChatResult::success(fragments.join(QString()));
    }
    ProfileEngine::OneShotChat profileChat(std::stop_token) override { return {}; }

private:
    std::mutex m_mutex;
    QStringList m_fragments;
};

// Sets an environment variable for the lifetime of the object.
class EnvOverride {
public:
    EnvOverride(const char* name, const QByteArray& value)
        : m_name(name)
        , m_was(qgetenv(name))
        , m_wasSet(qEnvironmentVariableIsSet(name))
    {
        qputenv(name, value);
    }
    ~EnvOverride()
    {
        if (m_wasSet)
            qputenv(m_name, m_was);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    QByteArray m_was;
    bool m_wasSet;
};

bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

class Renderer {
public:
    explicit Renderer(const QString& directory)
        : m_directory(directory)
    {
        QObject::connect(&m_panel.session(), &ActionSession::recallReady, [this] { ++m_recalls; });
        QObject::connect(&m_panel.session(), &ActionSession::answered, [this] { ++m_answers; });
    }

    void open(const QString& text)
    {
        const std::shared_ptr<ActionOptions> options = ActionOptions::fromStoredDefaults(SettingsStore::load());
        const int recalls = m_recalls;
        m_panel.showActions(L10n::tf("popup.header.read", {QString::number(text.size())}), text,
                            buildActions(text, *options, std::nullopt, std::nullopt), options, std::nullopt,
                            SourceKind::selection);
        waitUntil([&] { return m_recalls > recalls; });
    }

    bool run(const QString& actionKey, const QStringList& fragments)
    {
        const QList<PopupAction>& actions = m_panel.session().actions();
        const auto action = std::find_if(actions.cbegin(), actions.cend(),
                                         [&](const PopupAction& a) { return a.actionKey == actionKey; });
        m_engine->willAnswer(fragments);
        const int answers = m_answers;
        m_panel.session().runAction(int(action - actions.cbegin()));
        return waitUntil([&] { return m_answers > answers; });
    }

    bool revise(const QString& instruction, const QStringList& fragments)
    {
        m_engine->willAnswer(fragments);
        const int answers = m_answers;
        return m_panel.session().sendInstruction(instruction) && waitUntil([&] { return m_answers > answers; });
    }

    void guide(const char* header, const QString& body, Tint accent, const QList<const char*>& buttons)
    {
        QList<PopupPanel::GuideButton> guideButtons;
        for (const char* title : buttons)
            guideButtons.append({L10n::t(title), {}});
        m_panel.showAuthGuide(L10n::t(header), body, accent, guideButtons);
    }

    void clickRecall()
    {
        if (QWidget* band = m_panel.content()->findChild<QWidget*>(QStringLiteral("recallBand"))) {
            QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), band->mapToGlobal(QPointF(10, 10)),
                              Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(band, &press);
        }
    }

    void save(const QString& name, bool drawn = true)
    {
        const QString path = m_directory + QLatin1Char('/') + name;
        if (drawn && m_panel.window() && m_panel.window()->grab().save(path, "PNG"))
            m_written.append(path);
        m_panel.close();
    }

    const QStringList& written() const { return m_written; }

private:
    QString m_directory;
    QTemporaryDir m_home;
    SemanticRecall m_noModels{std::make_shared<NoSentenceEmbedder>()};
    KnowledgeStore m_store{m_home.filePath(QStringLiteral("knowledge.json")), m_noModels};
    TaskPool m_tasks{2};
    std::shared_ptr<SampleEngine> m_engine = std::make_shared<SampleEngine>();
    PopupPanel m_panel{
        {m_engine, m_store, m_tasks, {}, Platform::services(), [] { return SettingsStore::load().fontScale; }}};
    int m_recalls = 0;
    int m_answers = 0;
    QStringList m_written;
};

void setFontScale(qreal scale)
{
    AppSettings settings = SettingsStore::load();
    settings.fontScale = scale;
    SettingsStore::save(settings);
}

}

namespace PopupPreviews {

QStringList render(const QString& directory)
{
    // The language is the user's; everything else comes from a fresh home.
    const QByteArray language = L10n::current() == L10n::Lang::zh ? "zh" : "en";
    QTemporaryDir home;
    const EnvOverride homeDir("HOME", QFile::encodeName(home.path()));
    const EnvOverride uiLanguage("SELVANE_UI_LANG", language);
    const EnvOverride profileFile("SELVANE_PROFILE_FILE",
                                  QFile::encodeName(home.filePath(QStringLiteral("profile.json"))));
    SettingsStore::resetCache();
    QStringList written;
    {
        Renderer renderer(directory);

        renderer.open(chineseSample);
        renderer.save(QStringLiteral("popup-initial.png"));

        renderer.guide("auth.notTrusted.header", L10n::t("auth.notTrusted.body"), Tint::orange,
                       {"auth.btn.open", "auth.btn.relaunch"});
        renderer.save(QStringLiteral("popup-auth-guide.png"));

        renderer.guide("update.available.header", L10n::tf("update.available.body", {QStringLiteral("0.2.0")}),
                       Tint::accent, {"update.btn.download", "update.btn.later"});
        renderer.save(QStringLiteral("popup-update.png"));

        renderer.open(chineseSample);
        bool drawn = renderer.run(ActionKey::explain, answerFragments(ActionKey::explain, chineseSample));
        renderer.save(QStringLiteral("popup-explain-result.png"), drawn);

        renderer.open(chineseSample);
        drawn = renderer.run(ActionKey::translate, answerFragments(ActionKey::translate, chineseSample));
        renderer.save(QStringLiteral("popup-translate-result.png"), drawn);

        renderer.open(chineseSample);
        drawn = renderer.run(ActionKey::rewrite, answerFragments(ActionKey::rewrite, chineseSample))
            && renderer.revise(L10n::current() == L10n::Lang::zh ? QStringLiteral("再短一点")
                                                                 : QStringLiteral("shorter"),
                               revisionFragments);
        renderer.save(QStringLiteral("popup-conversation.png"), drawn);

        setFontScale(1.45);
        renderer.open(chineseSample);
        drawn = renderer.run(ActionKey::explain, answerFragments(ActionKey::explain, chineseSample));
        renderer.save(QStringLiteral("popup-xlarge.png"), drawn);
        setFontScale(1.0);

        // The explanation above is remembered, so the same text is recalled.
        renderer.open(chineseSample);
        renderer.clickRecall();
        renderer.save(QStringLiteral("popup-recall.png"));

        renderer.open(englishSample);
        drawn = renderer.run(ActionKey::translate, answerFragments(ActionKey::translate, englishSample));
        renderer.save(QStringLiteral("popup-translate-foreign.png"), drawn);

        written = renderer.written();
    }
    SettingsStore::resetCache();
    return written;
}

}
