#include "memory/KnowledgeStore.h"

#include <algorithm>

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "memory/KnowledgeCodec.h"
#include "memory/SemanticRecall.h"
#include "settings/HomeDir.h"
#include "settings/PrivateFile.h"

namespace {

bool contains(const QString& field, const QString& loweredQuery)
{
    return field.toLower().contains(loweredQuery);
}

bool isMatchingLookup(const KnowledgeEntry& entry, const QString& query)
{
    return !entry.isCollected
        && (query.isEmpty() || contains(entry.sourceText, query) || contains(entry.resultText, query)
            || contains(entry.note, query) || contains(entry.action, query));
}

bool isMatchingFavorite(const KnowledgeEntry& entry, const QString& query)
{
    return entry.favorite && isMatchingLookup(entry, query);
}

bool isMatchingSnippet(const KnowledgeEntry& entry, const QString& query)
{
    return entry.isCollected
        && (query.isEmpty() || contains(entry.sourceText, query) || contains(entry.note, query)
            || contains(entry.category, query));
}

bool keepAll(const KnowledgeEntry&, const QString&)
{
    return true;
}

}

KnowledgeStore& KnowledgeStore::shared()
{
    static KnowledgeStore store(defaultPath());
    return store;
}

QString KnowledgeStore::defaultPath()
{
    const QString override = qEnvironmentVariable("SELVANE_KNOWLEDGE_FILE");
    if (!override.isEmpty())
        return override;
    return HomeDir::dataDir() + QStringLiteral("/knowledge.json");
}

KnowledgeStore::KnowledgeStore(const QString& path, SemanticRecall& semantic)
    : m_path(path)
    , m_semantic(semantic)
{
    std::lock_guard lock(m_mutex);
    loadLocked();
}

KnowledgeStore::KnowledgeStore(const QString& path)
    : KnowledgeStore(path, SemanticRecall::shared())
{
}

void KnowledgeStore::loadLocked()
{
    m_entries.clear();
    m_moveAsideBeforeWrite = false;
    if (!QFileInfo::exists(m_path))
        return;
    QFile file(m_path);
    std::optional<QList<KnowledgeEntry>> decoded;
    if (file.open(QIODevice::ReadOnly))
        decoded = KnowledgeCodec::decode(file.readAll());
    if (decoded)
        m_entries = std::move(*decoded);
    else
        m_moveAsideBeforeWrite = true;
}

void KnowledgeStore::writeLocked()
{
    PrivateFile::ensureDirectory(QFileInfo(m_path).absolutePath());
    if (m_moveAsideBeforeWrite) {
        // Never replace history we could not read: keep it beside the new file, and keep the
        // change in memory only when even that fails.
        if (QFileInfo::exists(m_path) && PrivateFile::moveAside(m_path).isEmpty())
            return;
        m_moveAsideBeforeWrite = false;
    }
    PrivateFile::writeAtomically(m_path, KnowledgeCodec::encode(m_entries));
}

QList<KnowledgeEntry> KnowledgeStore::newestFirstLocked(bool (*keep)(const KnowledgeEntry&, const QString&),
                                                        const QString& query) const
{
    const QString lowered = query.trimmed().toLower();
    QList<KnowledgeEntry> kept;
    for (const KnowledgeEntry& entry : m_entries) {
        if (keep(entry, lowered))
            kept.append(entry);
    }
    std::stable_sort(kept.begin(), kept.end(),
                     [](const KnowledgeEntry& a, const KnowledgeEntry& b) { return a.updatedAt > b.updatedAt; });
    return kept;
}

KnowledgeEntry* KnowledgeStore::findLocked(const QString& id)
{
    const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                                 [&id](const KnowledgeEntry& entry) { return entry.id == id; });
    return it == m_entries.end() ? nullptr : &*it;
}

QList<KnowledgeEntry> KnowledgeStore::all() const
{
    std::lock_guard lock(m_mutex);
    return newestFirstLocked(keepAll, {});
}

int KnowledgeStore::count() const
{
    std::lock_guard lock(m_mutex);
    return int(m_entries.size());
}

QString KnowledgeStore::add(const QString& action, const QString& sourceText, const QString& resultText,
                            const QString& appName)
{
    KnowledgeEntry entry;
    entry.id = KnowledgeEntry::newId();
    entry.action = action;
    entry.sourceText = sourceText;
    entry.resultText = resultText;
    entry.appName = appName;
    entry.createdAt = entry.updatedAt = QDateTime::currentDateTimeUtc();
    std::lock_guard lock(m_mutex);
    m_entries.append(entry);
    writeLocked();
    return entry.id;
}

QString KnowledgeStore::addCollection(const QString& sourceText, const QString& source, const QString& appName)
{
    KnowledgeEntry entry;
    entry.id = KnowledgeEntry::newId();
    entry.action = KnowledgeEntry::collectionAction;
    entry.sourceText = sourceText;
    entry.note = source;
    entry.appName = appName;
    entry.isCollected = true;
    entry.createdAt = entry.updatedAt = QDateTime::currentDateTimeUtc();
    std::lock_guard lock(m_mutex);
    m_entries.append(entry);
    writeLocked();
    return entry.id;
}

QList<KnowledgeEntry> KnowledgeStore::collections(const QString& query) const
{
    std::lock_guard lock(m_mutex);
    return newestFirstLocked(isMatchingSnippet, query);
}

QList<KnowledgeEntry> KnowledgeStore::search(const QString& query, bool favoritesOnly) const
{
    std::lock_guard lock(m_mutex);
    return newestFirstLocked(favoritesOnly ? isMatchingFavorite : isMatchingLookup, query);
}

std::optional<KnowledgeEntry> KnowledgeStore::entry(const QString& id) const
{
    std::lock_guard lock(m_mutex);
    const auto it = std::find_if(m_entries.cbegin(), m_entries.cend(),
                                 [&id](const KnowledgeEntry& entry) { return entry.id == id; });
    if (it == m_entries.cend())
        return std::nullopt;
    return *it;
}

void KnowledgeStore::update(const KnowledgeEntry& changed)
{
    std::lock_guard lock(m_mutex);
    KnowledgeEntry* stored = findLocked(changed.id);
    if (!stored)
        return;
    *stored = changed;
    stored->updatedAt = QDateTime::currentDateTimeUtc();
    writeLocked();
}

void KnowledgeStore::updateResult(const QString& id, const QString& resultText)
{
    std::lock_guard lock(m_mutex);
    KnowledgeEntry* stored = findLocked(id);
    if (!stored)
        return;
    stored->resultText = resultText;
    stored->updatedAt = QDateTime::currentDateTimeUtc();
    writeLocked();
}

bool KnowledgeStore::toggleFavorite(const QString& id)
{
    std::lock_guard lock(m_mutex);
    KnowledgeEntry* stored = findLocked(id);
    if (!stored)
        return false;
    stored->favorite = !stored->favorite;
    stored->updatedAt = QDateTime::currentDateTimeUtc();
    const bool favorite = stored->favorite;
    writeLocked();
    return favorite;
}

void KnowledgeStore::remove(const QString& id)
{
    std::lock_guard lock(m_mutex);
    m_entries.removeIf([&id](const KnowledgeEntry& entry) { return entry.id == id; });
    writeLocked();
}

void KnowledgeStore::clearAll()
{
    std::lock_guard lock(m_mutex);
    m_entries.clear();
    writeLocked();
}

bool KnowledgeStore::exportJSON(const QString& path) const
{
    std::lock_guard lock(m_mutex);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = KnowledgeCodec::encode(newestFirstLocked(keepAll, {}));
    return file.write(bytes) == bytes.size() && file.commit();
}

void KnowledgeStore::reloadFromDisk()
{
    std::lock_guard lock(m_mutex);
    loadLocked();
}
