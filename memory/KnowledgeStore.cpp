#include "memory/KnowledgeStore.h"

#include <algorithm>

#include <QDir>
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

KnowledgeStore::KnowledgeStore(const QString& path, SemanticRecall& semantic, int foldAfterChanges)
    : m_path(path)
    , m_semantic(semantic)
    , m_foldAfterChanges(foldAfterChanges)
    , m_journal(path)
    , m_foldAtChanges(foldAfterChanges)
{
    std::lock_guard writing(m_writing);
    std::lock_guard lock(m_mutex);
    // What a whole-file write killed before its rename left behind.
    const QFileInfo file(m_path);
    QDir dir = file.absoluteDir();
    for (const QString& temporary : dir.entryList({QStringLiteral(".") + file.fileName() + QStringLiteral(".??????")},
                                                  QDir::Files | QDir::Hidden))
        dir.remove(temporary);
    loadLocked();
    foldJournalLocked();
}

KnowledgeStore::~KnowledgeStore()
{
    m_folds.shutdown();
    // knowledge.json alone is complete after a clean exit, for people, tools and older versions
    // that read it without the journal.
    std::lock_guard writing(m_writing);
    std::lock_guard lock(m_mutex);
    foldJournalLocked();
}

KnowledgeStore::Slot::Slot(KnowledgeEntry entry)
    : idHash(qHash(entry.id))
    , stored(std::make_shared<const Stored>(std::move(entry)))
{
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
    if (QFileInfo::exists(m_path)) {
        QFile file(m_path);
        std::optional<QList<KnowledgeEntry>> decoded;
        if (file.open(QIODevice::ReadOnly))
            decoded = KnowledgeCodec::decode(file.readAll());
        if (decoded) {
            m_entries.reserve(decoded->size());
            for (KnowledgeEntry& entry : *decoded)
                m_entries.append(Slot(std::move(entry)));
        } else {
            m_moveAsideBeforeWrite = true;
        }
    }
    for (const KnowledgeCodec::Change& change : m_journal.read())
        applyLocked(change);
}

void KnowledgeStore::foldJournalLocked()
{
    if (m_journal.isEmpty()) {
        m_journal.drop(); // an empty journal, or only lines that could not be read
        return;
    }
    if (m_moveAsideBeforeWrite) {
        if (QFileInfo::exists(m_path) && PrivateFile::moveAside(m_path).isEmpty())
            return;
        m_moveAsideBeforeWrite = false;
    }
    if (writeFile(m_entries))
        m_journal.drop();
}

bool KnowledgeStore::writeFile(const StoredList& entries, std::stop_token stop)
{
    QList<QByteArray> objects;
    objects.reserve(entries.size());
    for (const Slot& stored : entries) {
        if (stored->json.isEmpty()) {
            if (stop.stop_requested())
                return false;
            stored->json = KnowledgeCodec::encodeEntry(stored->entry);
        }
        objects.append(stored->json);
    }
    return KnowledgeFiles::writeInSteps(m_path, KnowledgeCodec::joinEncoded(objects));
}

bool KnowledgeStore::commitLocked(const KnowledgeCodec::Change& change)
{
    if (m_moveAsideBeforeWrite) {
        // Never replace history we could not read: keep it beside the new file first.
        if (QFileInfo::exists(m_path) && PrivateFile::moveAside(m_path).isEmpty())
            return false;
        m_moveAsideBeforeWrite = false;
    }
    if (!m_journal.append(change))
        return false;
    applyLocked(change);
    foldLaterLocked();
    return true;
}

void KnowledgeStore::applyLocked(const KnowledgeCodec::Change& change)
{
    using Kind = KnowledgeCodec::Change::Kind;
    switch (change.kind) {
    case Kind::add:
    case Kind::replace:
        if (const qsizetype index = indexLocked(change.entry.id); index >= 0)
            m_entries[index] = Slot(change.entry);
        else if (change.kind == Kind::add)
            m_entries.append(Slot(change.entry));
        break;
    case Kind::remove: {
        const size_t hash = qHash(change.id);
        m_entries.removeIf([&](const Slot& slot) { return slot.idHash == hash && slot->entry.id == change.id; });
        break;
    }
    case Kind::clear:
        m_entries.clear();
        break;
    }
}

void KnowledgeStore::foldLaterLocked()
{
    if (m_foldPending || (m_journal.activeChanges() < m_foldAtChanges && m_journal.activeBytes() < m_foldAtBytes))
        return;
    m_foldPending = true;
    m_folds.start([this](std::stop_token stop) { fold(stop); });
}

void KnowledgeStore::fold(std::stop_token stop)
{
    std::lock_guard writing(m_writing);
    StoredList snapshot;
    bool rotated = false;
    {
        std::lock_guard lock(m_mutex);
        if (stop.stop_requested() || m_journal.isEmpty()) {
            m_foldPending = false;
            return;
        }
        // Changes made from here on go to a fresh journal; the snapshot holds all the others.
        rotated = m_journal.startFold();
        snapshot = m_entries;
    }
    const bool written = writeFile(snapshot, stop);
    std::lock_guard lock(m_mutex);
    if (written)
        m_journal.finishFold();
    // A fold that failed, or could not start a fresh journal, waits for as many changes again.
    const bool done = written && rotated;
    m_foldAtChanges = (done ? 0 : m_journal.activeChanges()) + m_foldAfterChanges;
    m_foldAtBytes = (done ? 0 : m_journal.activeBytes()) + foldAfterBytes;
    m_foldPending = false;
    if (!stop.stop_requested())
        foldLaterLocked();
}

void KnowledgeStore::announceChange()
{
    std::lock_guard lock(m_listenerLock);
    QList<int> ids;
    for (const auto& [id, listener] : m_listeners)
        ids.append(id);
    for (const int id : ids) {
        // A listener may remove itself or another one while being called.
        const auto it = m_listeners.find(id);
        if (it == m_listeners.end())
            continue;
        const ChangeListener listener = it->second;
        listener();
    }
}

int KnowledgeStore::addChangeListener(ChangeListener listener)
{
    std::lock_guard lock(m_listenerLock);
    m_listeners.emplace(m_nextListener, std::move(listener));
    return m_nextListener++;
}

void KnowledgeStore::removeChangeListener(int id)
{
    std::lock_guard lock(m_listenerLock);
    m_listeners.erase(id);
}

QList<KnowledgeEntry> KnowledgeStore::newestFirstLocked(bool (*keep)(const KnowledgeEntry&, const QString&),
                                                        const QString& query) const
{
    const QString lowered = query.trimmed().toLower();
    QList<KnowledgeEntry> kept;
    for (const Slot& stored : m_entries) {
        if (keep(stored->entry, lowered))
            kept.append(stored->entry);
    }
    std::stable_sort(kept.begin(), kept.end(),
                     [](const KnowledgeEntry& a, const KnowledgeEntry& b) { return a.updatedAt > b.updatedAt; });
    return kept;
}

qsizetype KnowledgeStore::indexLocked(const QString& id) const
{
    const size_t hash = qHash(id);
    const auto it = std::find_if(m_entries.cbegin(), m_entries.cend(),
                                 [&](const Slot& slot) { return slot.idHash == hash && slot->entry.id == id; });
    return it == m_entries.cend() ? -1 : it - m_entries.cbegin();
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

std::optional<QString> KnowledgeStore::append(KnowledgeEntry entry)
{
    entry.id = KnowledgeEntry::newId();
    entry.createdAt = entry.updatedAt = QDateTime::currentDateTimeUtc();
    {
        std::lock_guard lock(m_mutex);
        if (!commitLocked(KnowledgeCodec::Change::added(entry)))
            return std::nullopt;
    }
    announceChange();
    return entry.id;
}

std::optional<QString> KnowledgeStore::add(const QString& action, const QString& sourceText, const QString& resultText,
                                           const QString& appName)
{
    KnowledgeEntry entry;
    entry.action = action;
    entry.sourceText = sourceText;
    entry.resultText = resultText;
    entry.appName = appName;
    return append(std::move(entry));
}

std::optional<QString> KnowledgeStore::addCollection(const QString& sourceText, const QString& source,
                                                     const QString& appName)
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
    return m_entries[index]->entry;
}

std::optional<KnowledgeEntry> KnowledgeStore::change(const QString& id, const std::function<void(KnowledgeEntry&)>& edit)
{
    KnowledgeEntry changed;
    {
        std::lock_guard lock(m_mutex);
        const qsizetype index = indexLocked(id);
        if (index < 0)
            return std::nullopt;
        changed = m_entries[index]->entry;
        edit(changed);
        changed.updatedAt = QDateTime::currentDateTimeUtc();
        if (!commitLocked(KnowledgeCodec::Change::replaced(changed)))
            return std::nullopt;
    }
    announceChange();
    return changed;
}

bool KnowledgeStore::update(const KnowledgeEntry& changed)
{
    return change(changed.id, [&changed](KnowledgeEntry& entry) { entry = changed; }).has_value();
}

bool KnowledgeStore::updateResult(const QString& id, const QString& resultText)
{
    return change(id, [&resultText](KnowledgeEntry& entry) { entry.resultText = resultText; }).has_value();
}

std::optional<bool> KnowledgeStore::toggleFavorite(const QString& id)
{
    const std::optional<KnowledgeEntry> changed = change(id, [](KnowledgeEntry& entry) { entry.favorite = !entry.favorite; });
    if (!changed)
        return std::nullopt;
    return changed->favorite;
}

bool KnowledgeStore::remove(const QString& id)
{
    {
        std::lock_guard lock(m_mutex);
        if (indexLocked(id) < 0)
            return true;
        if (!commitLocked(KnowledgeCodec::Change::removed(id)))
            return false;
    }
    announceChange();
    return true;
}

bool KnowledgeStore::clearAll()
{
    {
        std::lock_guard writing(m_writing);
        std::lock_guard lock(m_mutex);
        // Journalled first, so the clearing stands even if what follows is cut short.
        if (!commitLocked(KnowledgeCodec::Change::cleared()))
            return false;
        if (writeFile({}))
            m_journal.drop();
    }
    announceChange();
    return true;
}

bool KnowledgeStore::exportJSON(const QString& path) const
{
    QList<KnowledgeEntry> entries;
    {
        std::lock_guard lock(m_mutex);
        entries = newestFirstLocked(keepAll, {});
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = KnowledgeCodec::encode(entries);
    return file.write(bytes) == bytes.size() && file.commit();
}

void KnowledgeStore::reloadFromDisk()
{
    {
        std::lock_guard writing(m_writing);
        std::lock_guard lock(m_mutex);
        loadLocked();
    }
    announceChange();
}
