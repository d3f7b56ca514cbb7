#include "windows/KnowledgePreview.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include "core/TaskPool.h"
#include "memory/KnowledgeCodec.h"
#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"
#include "platform/PlatformServices.h"
#include "profile/ProfileStore.h"
#include "settings/PrivateFile.h"
#include "windows/KnowledgeWindow.h"

namespace {

// Points the profile file somewhere else while it lives, so the sample never touches the user's.
class ProfileFileAt {
public:
    explicit ProfileFileAt(const QString& path)
        : m_saved(qgetenv("SELVANE_PROFILE_FILE"))
        , m_wasSet(qEnvironmentVariableIsSet("SELVANE_PROFILE_FILE"))
    {
        qputenv("SELVANE_PROFILE_FILE", path.toLocal8Bit());
    }
    ~ProfileFileAt() { m_wasSet ? qputenv("SELVANE_PROFILE_FILE", m_saved) : qunsetenv("SELVANE_PROFILE_FILE"); }

private:
    QByteArray m_saved;
    bool m_wasSet;
};

// A few days of use, written with fixed times so every image shows the same list.
QList<KnowledgeEntry> samples()
{
    struct Sample {
        const char* action;
        const char* source;
        const char* result;
        const char* note;
        const char* app;
        bool favorite;
    };
    const Sample samples[] = {
        {"翻译", "The map is not the territory.", "地图不是疆域本身。", "", "Firefox", false},
        {"收藏", "读书不是为了记住，而是为了被改变。", "", "划词", "Okular", false},
        {"改写", "这个方案我们下周再讨论一下吧", "关于该方案，建议于下周召开专题会议进一步研究。", "", "Thunderbird",
         false},
        {"解释", "熵增定律", "在一个孤立系统里，混乱程度只会增加、不会自发减少。\n房间不收拾会越来越乱，就是这个道理。",
         "", "Obsidian", false},
        {"解释", "边际效用递减",
         "同一样东西，拥有得越多，每多一份带来的满足感就越少。比如饿的时候第一个包子最香，第五个就没那么想吃了。",
         "考试前再看一遍", "Firefox", true},
    };
    QList<KnowledgeEntry> entries;
    QDateTime when(QDate(2025, 3, 1), QTime(8, 30));
    for (const Sample& sample : samples) {
        KnowledgeEntry entry;
        entry.id = KnowledgeEntry::newId();
        entry.action = QString::fromUtf8(sample.action);
        entry.sourceText = QString::fromUtf8(sample.source);
        entry.resultText = QString::fromUtf8(sample.result);
        entry.note = QString::fromUtf8(sample.note);
        entry.appName = QString::fromUtf8(sample.app);
        entry.favorite = sample.favorite;
        entry.isCollected = entry.action == KnowledgeEntry::collectionAction;
        when = when.addSecs(3 * 3600 + 17 * 60);
        entry.createdAt = entry.updatedAt = when.toUTC();
        entries.append(entry);
    }
    return entries;
}

}

QStringList KnowledgePreview::render(const QString& directory)
{
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return {};
    const ProfileFileAt profileFile(scratch.filePath(QStringLiteral("profile.json")));
    UserProfile profile;
    profile.text = QStringLiteral("关注经济学和物理的基础概念，偏好通俗、带生活例子的解释");
    profile.basedOnCount = 5;
    profile.generatedAtCount = 5;
    profile.updatedAt = QDateTime(QDate(2025, 3, 2), QTime(9, 0)).toUTC();
    ProfileStore::save(profile);

    SemanticRecall noModels(std::make_shared<NoSentenceEmbedder>());
    const QString knowledgeFile = scratch.filePath(QStringLiteral("knowledge.json"));
    if (!PrivateFile::writeAtomically(knowledgeFile, KnowledgeCodec::encode(samples())))
        return {};
    KnowledgeStore store(knowledgeFile, noModels);
    TaskPool tasks(1);
    // Nothing is clicked in a preview, so no engine is ever asked and nothing is copied.
    KnowledgeWindow window(store, tasks, nullptr, *Platform::services().clipboard);
    window.setAttribute(Qt::WA_DontShowOnScreen);
    window.showAndRaise();
    QCoreApplication::processEvents();
    const QString path = directory + QStringLiteral("/knowledge.png");
    return window.grab().save(path) ? QStringList{path} : QStringList();
}
