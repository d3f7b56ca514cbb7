#include "memory/KnowledgeStore.h"

#include <algorithm>

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "core/Graphemes.h"
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

KnowledgeStore::Stored::Stored(KnowledgeEntry entry)
    : entry(std::move(entry))
    , normalizedSource(normalize(this->entry.sourceText))
    , recallable(!this->entry.isCollected && Graphemes::atLeast(normalizedSource, 2))
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
    if (!decoded) {
        m_moveAsideBeforeWrite = true;
        return;
    }
    m_entries.reserve(decoded->size());
    for (KnowledgeEntry& entry : *decoded)
        m_entries.append(Stored(std::move(entry)));
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
    QList<QByteArray> objects;
    objects.reserve(m_entries.size());
    for (Stored& stored : m_entries) {
        if (stored.json.isEmpty())
            stored.json = KnowledgeCodec::encodeEntry(stored.entry);
        objects.append(stored.json);
    }
    PrivateFile::writeAtomically(m_path, KnowledgeCodec::joinEncoded(objects));
}

QList<KnowledgeEntry> KnowledgeStore::newestFirstLocked(bool (*keep)(const KnowledgeEntry&, const QString&),
                                                        const QString& query) const
{
    const QString lowered = query.trimmed().toLower();
    QList<KnowledgeEntry> kept;
    for (const Stored& stored : m_entries) {
        if (keep(stored.entry, lowered))
            kept.append(stored.entry);
    }
    std::stable_sort(kept.begin(), kept.end(),
                     [](const KnowledgeEntry& a, const KnowledgeEntry& b) { return a.updatedAt > b.updatedAt; });
    return kept;
}

qsizetype KnowledgeStore::indexLocked(const QString& id) const
{
    const auto it = std::find_if(m_entries.cbegin(), m_entries.cend(),
                                 [&id](const Stored& stored) { return stored.entry.id == id; });
    return it == m_entries.cend() ? -1 : it - m_entries.cbegin();
}

void KnowledgeStore::replaceLocked(qsizetype index, KnowledgeEntry changed)
{
    changed.updatedAt = QDateTime::currentDateTimeUtc();
    m_entries[index] = Stored(std::move(changed));
    writeLocked();
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

QString KnowledgeStore::append(KnowledgeEntry entry)
{
    entry.id = KnowledgeEntry::newId();
    entry.createdAt = entry.updatedAt = QDateTime::currentDateTimeUtc();
    std::lock_guard lock(m_mutex);
    m_entries.append(Stored(entry));
    writeLocked();
    return entry.id;
}

QString KnowledgeStore::add(const QString& action, const QString& sourceText, const QString& resultText,
                            const QString& appName)
{
    KnowledgeEntry entry;
    entry.action = action;
    entry.sourceText = sourceText;
    entry.resultText = resultText;
    entry.appName = appName;
    return append(std::move(entry));
}

QString KnowledgeStore::addCollection(const QString& sourceText, const QString& source, const QString& appName)
{
    KnowledgeEntry entry;
    entry.action = KnowledgeEntry::collectionAction;
    entry.sourceText = sourceText;
    entry.note = source;
    entry.appName = appName;
    entry.isCollected = true;
    return append(std::move(entry));
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
    const qsizetype index = indexLocked(id);
    if (index < 0)
        return std::nullopt;
    return m_entries[index].entry;
}

void KnowledgeStore::update(const KnowledgeEntry& changed)
{
    std::lock_guard lock(m_mutex);
    if (const qsizetype index = indexLocked(changed.id); index >= 0)
        replaceLocked(index, changed);
}

void KnowledgeStore::updateResult(const QString& id, const QString& resultText)
{
    std::lock_guard lock(m_mutex);
    const qsizetype index = indexLocked(id);
    if (index < 0)
        return;
    KnowledgeEntry changed = m_entries[index].entry;
    changed.resultText = resultText;
    replaceLocked(index, std::move(changed));
}

bool KnowledgeStore::toggleFavorite(const QString& id)
{
    std::lock_guard lock(m_mutex);
    const qsizetype index = indexLocked(id);
    if (index < 0)
        return false;
    KnowledgeEntry changed = m_entries[index].entry;
    changed.favorite = !changed.favorite;
    replaceLocked(index, changed);
    return changed.favorite;
}

void KnowledgeStore::remove(const QString& id)
{
    std::lock_guard lock(m_mutex);
    m_entries.removeIf([&id](const Stored& stored) { return stored.entry.id == id; });
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
