#include "memory/KnowledgeStore.h"

#include <algorithm>
#include <limits>
#include <numeric>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "core/Graphemes.h"
#include "memory/FolderWatch.h"
#include "memory/KnowledgeCodec.h"
#include "memory/SemanticRecall.h"
#include "settings/HomeDir.h"
#include "settings/PrivateFile.h"

namespace {

bool isLookup(const KnowledgeEntry& entry)
{
    return !entry.isCollected;
}

bool isFavoriteLookup(const KnowledgeEntry& entry)
{
    return entry.favorite && !entry.isCollected;
}

bool isSnippet(const KnowledgeEntry& entry)
{
    return entry.isCollected;
}

bool isAny(const KnowledgeEntry&)
{
    return true;
}

QList<KnowledgeEntry> copies(const QList<SharedEntry>& entries)
{
    QList<KnowledgeEntry> copied;
    copied.reserve(entries.size());
    for (const SharedEntry& entry : entries)
        copied.append(*entry);
    return copied;
}

// The texts an entry of its kind is found by.
QStringList loweredSearchTexts(const KnowledgeEntry& entry)
{
    QStringList texts = entry.isCollected ? QStringList{entry.sourceText, entry.note, entry.category}
                                          : QStringList{entry.sourceText, entry.resultText, entry.note, entry.action};
    // A text with nothing to lower stays shared with the entry.
    for (QString& text : texts)
        text = text.toLower();
    return texts;
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
    , m_file(PrivateFile::resolved(path))
    , m_lockPath(KnowledgeLock::pathFor(m_file))
    , m_semantic(semantic)
    , m_foldAfterChanges(foldAfterChanges)
    , m_journal(m_file)
    , m_foldAtChanges(foldAfterChanges)
{
    const QFileInfo file(m_file);
    PrivateFile::ensureDirectory(file.absolutePath());
    if (const KnowledgeLock folding(m_lockPath, KnowledgeLock::Kind::fold); folding.held()) {
        // What a whole-file write killed before its rename left behind; no write runs meanwhile.
        QDir dir = file.absoluteDir();
        for (const QString& temporary : dir.entryList(
                 {QStringLiteral(".") + file.fileName() + QStringLiteral(".??????")}, QDir::Files | QDir::Hidden))
            dir.remove(temporary);
    }
    {
        std::lock_guard lock(m_mutex);
        const KnowledgeLock files = lockFiles();
        loadLocked();
    }
    foldNow();
    m_unannounced = false;
    const QStringList watched = {file.fileName(), file.fileName() + QStringLiteral(".journal"),
                                 file.fileName() + QStringLiteral(".journal.folding")};
    m_watch = std::make_unique<FolderWatch>(file.absolutePath(), watched, [this] { syncFromDisk(); });
}

KnowledgeStore::~KnowledgeStore()
{
    m_watch.reset();
    m_folds.shutdown();
    // knowledge.json alone is complete after a clean exit, for people, tools and older versions
    // that read it without the journal.
    foldNow();
}

KnowledgeLock KnowledgeStore::lockFiles() const
{
    PrivateFile::ensureDirectory(QFileInfo(m_file).absolutePath());
    return KnowledgeLock(m_lockPath, KnowledgeLock::Kind::files);
}

KnowledgeLock KnowledgeStore::catchUpLocked()
{
    KnowledgeLock files = lockFiles();
    syncLocked();
    return files;
}

KnowledgeStore::FileStamp KnowledgeStore::FileStamp::of(const QString& path)
{
    struct stat info { };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {true, info.st_dev, info.st_ino, info.st_size, info.st_mtim};
}

bool KnowledgeStore::FileStamp::operator==(const FileStamp& other) const
{
    return exists == other.exists && device == other.device && inode == other.inode && size == other.size
        && modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
}

KnowledgeStore::Slot::Slot(KnowledgeEntry entry)
    : idHash(qHash(entry.id))
    , updated(entry.updatedAt.isValid() ? entry.updatedAt.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min())
    , stored(std::make_shared<const Stored>(std::move(entry)))
{
}

const KnowledgeStore::Characters& KnowledgeStore::Slot::characters() const
{
    if (!searchedCharacters)
        searchedCharacters = charactersOf(stored->searched());
    return *searchedCharacters;
}

KnowledgeStore::Characters KnowledgeStore::charactersOf(const QStringList& texts)
{
    Characters characters;
    for (const QString& text : texts) {
        for (const QChar c : text)
            characters.set(c.unicode() < 128 ? c.unicode() : 128 + c.unicode() % 128);
    }
    return characters;
}

KnowledgeStore::Stored::Stored(KnowledgeEntry entry)
    : entry(std::move(entry))
    , normalizedSource(normalize(this->entry.sourceText))
    , recallable(!this->entry.isCollected && Graphemes::atLeast(normalizedSource, 2))
{
}

const QStringList& KnowledgeStore::Stored::searched() const
{
    if (!searchedTexts)
        searchedTexts = loweredSearchTexts(entry);
    return *searchedTexts;
}

bool KnowledgeStore::Stored::matches(const QString& loweredQuery) const
{
    const auto holdsQuery = [&loweredQuery](const QString& text) { return text.contains(loweredQuery); };
    return loweredQuery.isEmpty() || std::ranges::any_of(searched(), holdsQuery);
}

void KnowledgeStore::loadLocked()
{
    m_entries.clear();
    m_newestFirst.clear();
    m_keepOriginal = Keep::nothing;
    m_fileSeen = FileStamp::of(m_file);
    if (m_fileSeen.exists) {
        QFile file(m_file);
        KnowledgeCodec::FileContent content;
        if (file.open(QIODevice::ReadOnly))
            content = KnowledgeCodec::decodeFile(file.readAll());
        if (!content.readable)
            m_keepOriginal = Keep::moveAside;
        else if (!content.complete)
            m_keepOriginal = Keep::copyAside;
        m_entries.reserve(content.entries.size());
        for (KnowledgeEntry& entry : content.entries)
            m_entries.append(Slot(std::move(entry)));
    }
    for (const KnowledgeCodec::Change& change : m_journal.read())
        applyLocked(change);
    m_unannounced = true;
}

void KnowledgeStore::syncLocked()
{
    const FileStamp now = FileStamp::of(m_file);
    // A fold replaces the file with what it and the folding journal held: the same entries, and
    // whoever folded kept the file as read aside first when it had to.
    const bool folded = !(now == m_fileSeen) && m_journal.foldingAsRead();
    if (now == m_fileSeen || folded) {
        if (const std::optional<QList<KnowledgeCodec::Change>> appended = m_journal.readAppended()) {
            if (folded) {
                m_fileSeen = now;
                m_keepOriginal = Keep::nothing;
            }
            for (const KnowledgeCodec::Change& change : *appended)
                applyLocked(change);
            if (!appended->isEmpty())
                m_unannounced = true;
            return;
        }
    }
    loadLocked();
}

bool KnowledgeStore::keepOriginalLocked()
{
    if (m_keepOriginal == Keep::nothing || !m_fileSeen.exists)
        return true;
    // Never replace history we could not read: keep it beside the new file first.
    const QString aside =
        m_keepOriginal == Keep::moveAside ? PrivateFile::moveAside(m_file) : PrivateFile::copyAside(m_file);
    if (aside.isEmpty())
        return false;
    m_keepOriginal = Keep::nothing;
    return true;
}

void KnowledgeStore::foldNow()
{
    std::lock_guard writing(m_writing);
    const KnowledgeLock folding(m_lockPath, KnowledgeLock::Kind::fold);
    {
        std::lock_guard lock(m_mutex);
        const KnowledgeLock files = lockFiles();
        if (!folding.held() || !files.held())
            return;
        syncLocked();
        if (m_journal.isEmpty() && m_keepOriginal == Keep::nothing) {
            m_journal.drop(); // an empty journal, or only lines that could not be read
        } else if (keepOriginalLocked() && writeFile(m_entries)) {
            m_journal.drop();
            m_fileSeen = FileStamp::of(m_file);
        }
    }
    announceIfChanged();
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
    return KnowledgeFiles::writeInSteps(m_file, KnowledgeCodec::joinEncoded(objects));
}

bool KnowledgeStore::commitLocked(const KnowledgeCodec::Change& change)
{
    if (!m_journal.append(change))
        return false;
    applyLocked(change);
    foldLaterLocked();
    return true;
}

void KnowledgeStore::applyLocked(const KnowledgeCodec::Change& change)
{
    using Kind = KnowledgeCodec::Change::Kind;
    m_newestFirst.clear();
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
    case Kind::clear: m_entries.clear(); break;
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
    // Another process's fold finishes first; appends go on meanwhile, under the files lock only.
    const KnowledgeLock folding(m_lockPath, KnowledgeLock::Kind::fold);
    StoredList snapshot;
    bool rotated = false;
    {
        std::lock_guard lock(m_mutex);
        const KnowledgeLock files = lockFiles();
        syncLocked();
        if (stop.stop_requested() || !folding.held() || !files.held() || m_journal.isEmpty() || !keepOriginalLocked()) {
            m_foldPending = false;
            return;
        }
        // Changes made from here on go to a fresh journal; the snapshot holds all the others,
        // whichever process made them.
        rotated = m_journal.startFold();
        snapshot = m_entries;
    }
    const bool written = writeFile(snapshot, stop);
    {
        std::lock_guard lock(m_mutex);
        const KnowledgeLock files = lockFiles();
        if (written) {
            m_fileSeen = FileStamp::of(m_file);
            m_journal.finishFold();
        }
        syncLocked();
        // A fold that failed, or could not start a fresh journal, waits for as many changes again.
        const bool done = written && rotated;
        m_foldAtChanges = (done ? 0 : m_journal.activeChanges()) + m_foldAfterChanges;
        m_foldAtBytes = (done ? 0 : m_journal.activeBytes()) + foldAfterBytes;
        m_foldPending = false;
        if (!stop.stop_requested())
            foldLaterLocked();
    }
    announceIfChanged();
}

void KnowledgeStore::syncFromDisk()
{
    {
        std::lock_guard lock(m_mutex);
        const KnowledgeLock files = lockFiles();
        syncLocked();
    }
    announceIfChanged();
}

void KnowledgeStore::announceIfChanged()
{
    if (m_unannounced.exchange(false))
        announceChange();
}

void KnowledgeStore::announceChange()
{
    // Listeners read the store afresh, so this tells whatever catching up brought, too.
    m_unannounced = false;
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

QList<SharedEntry> KnowledgeStore::newestFirstLocked(bool (*isOfKind)(const KnowledgeEntry&),
                                                     const QString& query) const
{
    if (m_newestFirst.size() != m_entries.size()) {
        m_newestFirst.resize(m_entries.size());
        std::iota(m_newestFirst.begin(), m_newestFirst.end(), 0);
        std::stable_sort(m_newestFirst.begin(), m_newestFirst.end(),
                         [this](qsizetype a, qsizetype b) { return m_entries[a].updated > m_entries[b].updated; });
    }
    const QString lowered = query.trimmed().toLower();
    const Characters wanted = charactersOf({lowered});
    QList<SharedEntry> listed;
    for (const qsizetype index : std::as_const(m_newestFirst)) {
        const Slot& slot = m_entries[index];
        if (isOfKind(slot->entry) && (slot.characters() & wanted) == wanted && slot->matches(lowered))
            listed.append(SharedEntry(slot.stored, &slot->entry));
    }
    return listed;
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
    return copies(newestFirstLocked(isAny, {}));
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
        const KnowledgeLock files = catchUpLocked();
        if (!files.held() || !commitLocked(KnowledgeCodec::Change::added(entry)))
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

QList<SharedEntry> KnowledgeStore::list(Listing listing, const QString& query) const
{
    std::lock_guard lock(m_mutex);
    switch (listing) {
    case Listing::lookups: return newestFirstLocked(isLookup, query);
    case Listing::favorites: return newestFirstLocked(isFavoriteLookup, query);
    case Listing::snippets: return newestFirstLocked(isSnippet, query);
    }
    return {};
}

QList<KnowledgeEntry> KnowledgeStore::collections(const QString& query) const
{
    return copies(list(Listing::snippets, query));
}

std::optional<KnowledgeEntry> KnowledgeStore::entry(const QString& id) const
{
    std::lock_guard lock(m_mutex);
    const qsizetype index = indexLocked(id);
    if (index < 0)
        return std::nullopt;
    return m_entries[index]->entry;
}

std::optional<KnowledgeEntry> KnowledgeStore::change(const QString& id,
                                                     const std::function<void(KnowledgeEntry&)>& edit)
{
    KnowledgeEntry changed;
    {
        std::lock_guard lock(m_mutex);
        const KnowledgeLock files = catchUpLocked();
        const qsizetype index = indexLocked(id);
        if (index < 0 || !files.held())
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
    const std::optional<KnowledgeEntry> changed =
        change(id, [](KnowledgeEntry& entry) { entry.favorite = !entry.favorite; });
    if (!changed)
        return std::nullopt;
    return changed->favorite;
}

bool KnowledgeStore::remove(const QString& id)
{
    {
        std::lock_guard lock(m_mutex);
        const KnowledgeLock files = catchUpLocked();
        if (indexLocked(id) < 0)
            return true;
        if (!files.held() || !commitLocked(KnowledgeCodec::Change::removed(id)))
            return false;
    }
    announceChange();
    return true;
}

bool KnowledgeStore::clearAll()
{
    {
        std::lock_guard lock(m_mutex);
        const KnowledgeLock files = catchUpLocked();
        // Journalled first, so the clearing stands even if what follows is cut short.
        if (!files.held() || !commitLocked(KnowledgeCodec::Change::cleared()))
            return false;
    }
    // Nothing cleared lingers on disk.
    foldNow();
    announceChange();
    return true;
}

bool KnowledgeStore::exportJSON(const QString& path) const
{
    QList<KnowledgeEntry> entries;
    {
        std::lock_guard lock(m_mutex);
        entries = copies(newestFirstLocked(isAny, {}));
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
        std::lock_guard lock(m_mutex);
        const KnowledgeLock files = lockFiles();
        loadLocked();
    }
    announceChange();
}
