#include "windows/KnowledgeBrowser.h"

#include "memory/KnowledgeStore.h"
#include "settings/L10n.h"

KnowledgeBrowser::KnowledgeBrowser(KnowledgeStore& store, QObject* parent)
    : QObject(parent)
    , m_store(store)
{
    // Called on whichever thread changed or re-read the base; one notice waits at a time.
    m_listener = m_store.addChangeListener([this] {
        if (m_changeQueued.exchange(true))
            return;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_changeQueued = false;
                Q_EMIT storeChanged();
            },
            Qt::QueuedConnection);
    });
}

KnowledgeBrowser::~KnowledgeBrowser()
{
    m_store.removeChangeListener(m_listener);
}

void KnowledgeBrowser::setQuery(const QString& query)
{
    m_query = query;
    reload();
}

void KnowledgeBrowser::setFilter(Filter filter)
{
    m_filter = filter;
    reload();
}

void KnowledgeBrowser::reload()
{
    using Listing = KnowledgeStore::Listing;
    const Listing listing = m_filter == Filter::collection ? Listing::snippets
        : m_filter == Filter::favorites                    ? Listing::favorites
                                                           : Listing::lookups;
    m_model.setRows(m_store.list(listing, m_query));
    m_total = m_store.count();
    const int picked = m_pickedId.isEmpty() ? -1 : m_model.rowOf(m_pickedId);
    m_currentRow = picked >= 0 ? picked : m_model.rowCount() > 0 ? 0 : -1;
    m_current = m_currentRow >= 0 ? std::optional(m_model.entryAt(m_currentRow)) : std::nullopt;
    Q_EMIT reloaded();
}

void KnowledgeBrowser::choose(int row)
{
    if (row >= m_model.rowCount())
        return;
    m_pickedId = row >= 0 ? m_model.entryAt(row).id : QString();
    show(row);
}

void KnowledgeBrowser::show(int row)
{
    if (row == m_currentRow)
        return;
    m_currentRow = row;
    m_current = row >= 0 ? std::optional(m_model.entryAt(row)) : std::nullopt;
    Q_EMIT currentChanged();
}

QString KnowledgeBrowser::title() const
{
    return m_total == 0 ? L10n::t("kw.title") : L10n::tf("kw.titleWithCount", {QString::number(m_total)});
}

QString KnowledgeBrowser::emptyHint() const
{
    if (m_current)
        return {};
    const bool noQuery = m_query.trimmed().isEmpty();
    if (m_filter == Filter::collection)
        return L10n::t(noQuery ? "kw.empty.collectionNone" : "kw.empty.noMatch");
    if (m_total == 0)
        return L10n::t("kw.empty.library");
    if (m_model.rowCount() > 0)
        return L10n::t("kw.empty.pick");
    if (m_filter == Filter::favorites && noQuery)
        return L10n::t("kw.empty.favNone");
    return L10n::t("kw.empty.noMatch");
}

KnowledgeBrowser::Commit KnowledgeBrowser::commit(const Edits& edits)
{
    if (!m_current)
        return Commit::unchanged;
    const KnowledgeEntry& shown = *m_current;
    if (edits == Edits{shown.sourceText, shown.resultText, shown.note, shown.favorite})
        return Commit::unchanged;
    std::optional<KnowledgeEntry> stored = m_store.entry(shown.id);
    if (!stored)
        return Commit::failed;
    if (edits.sourceText != shown.sourceText)
        stored->sourceText = edits.sourceText;
    if (edits.resultText != shown.resultText)
        stored->resultText = edits.resultText;
    if (edits.note != shown.note)
        stored->note = edits.note;
    if (edits.favorite != shown.favorite)
        stored->favorite = edits.favorite;
    if (!m_store.update(*stored))
        return Commit::failed;
    m_current = m_store.entry(shown.id).value_or(*stored);
    m_model.replaceRow(m_currentRow, *m_current);
    return Commit::saved;
}

bool KnowledgeBrowser::setFavorite(bool favorite)
{
    if (!m_current)
        return false;
    std::optional<KnowledgeEntry> stored = m_store.entry(m_current->id);
    if (!stored)
        return false;
    stored->favorite = favorite;
    if (!m_store.update(*stored))
        return false;
    m_current->favorite = favorite;
    KnowledgeEntry row = m_store.entry(stored->id).value_or(*stored);
    m_model.replaceRow(m_currentRow, row);
    return true;
}

bool KnowledgeBrowser::removeCurrent()
{
    if (!m_current || !m_store.remove(m_current->id))
        return false;
    m_pickedId.clear();
    reload();
    return true;
}

bool KnowledgeBrowser::clearAll()
{
    const bool cleared = m_store.clearAll();
    reload();
    return cleared;
}
