#include "windows/KnowledgeWindow.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "memory/KnowledgeStore.h"
#include "platform/Clipboard.h"
#include "settings/L10n.h"
#include "windows/ExportJson.h"
#include "windows/KnowledgeBrowser.h"
#include "windows/KnowledgeDetail.h"
#include "windows/KnowledgeRowDelegate.h"
#include "windows/OrganiseFlow.h"
#include "windows/ProfileCard.h"

namespace {

constexpr int topBarHeight = 48;
constexpr int listWidth = 320;

using Filter = KnowledgeBrowser::Filter;

// A button shows "&" only doubled; single, it marks the keyboard shortcut ("Organize & export").
QString buttonText(const char* key)
{
    return L10n::t(key).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

}

KnowledgeWindow::KnowledgeWindow(KnowledgeStore& store, TaskPool& tasks, std::shared_ptr<ActionEngine> engine,
                                 Clipboard& clipboard, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_store(store)
    , m_tasks(tasks)
    , m_clipboard(clipboard)
    , m_browser(new KnowledgeBrowser(store, this))
    , m_organise(new OrganiseFlow(store, tasks, engine, clipboard, this))
{
    setWindowTitle(L10n::t("kw.title"));
    setAccessibleName(QStringLiteral("knowledge-window"));
    resize(880, 560);
    setMinimumSize(680, 420);

    m_list = new QListView(this);
    m_list->setAccessibleName(QStringLiteral("knowledge-list"));
    m_list->setFixedWidth(listWidth);
    m_list->setUniformItemSizes(true);
    m_list->setItemDelegate(new KnowledgeRowDelegate(m_list));
    m_list->setModel(m_browser->model());
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_detail = new KnowledgeDetail(this);
    m_profile = new ProfileCard(store, tasks, std::move(engine), this);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    body->addWidget(m_list);
    body->addWidget(m_detail, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildTopBar());
    layout->addWidget(m_profile);
    layout->addLayout(body, 1);

    connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        if (m_syncing)
            return;
        commitEdits();
        m_browser->choose(current.isValid() ? current.row() : -1);
    });
    connect(m_browser, &KnowledgeBrowser::reloaded, this, [this] {
        setWindowTitle(m_browser->title());
        updateExportButton();
        syncListSelection();
        // Editors showing what is stored keep their cursor and scroll position.
        if (!m_browser->current() || m_browser->current() != m_shown)
            showCurrent();
        m_profile->refresh();
    });
    connect(m_browser, &KnowledgeBrowser::currentChanged, this, &KnowledgeWindow::showCurrent);
    connect(m_browser, &KnowledgeBrowser::storeChanged, this, [this] {
        if (isVisible())
            reload();
    });
    connect(m_detail, &KnowledgeDetail::editingFinished, this, &KnowledgeWindow::commitEdits);
    connect(m_detail, &KnowledgeDetail::favoriteToggled, this, [this](bool favorite) {
        if (!m_browser->setFavorite(favorite))
            m_detail->flash(L10n::t("kw.saveFailed"), true);
    });
    connect(m_detail, &KnowledgeDetail::saveRequested, this, &KnowledgeWindow::saveEdits);
    connect(m_detail, &KnowledgeDetail::copyRequested, this, &KnowledgeWindow::copyResult);
    connect(m_detail, &KnowledgeDetail::deleteRequested, this, &KnowledgeWindow::deleteCurrent);
    connect(m_organise, &OrganiseFlow::runningChanged, this, &KnowledgeWindow::updateExportButton);
    connect(m_organise, &OrganiseFlow::copied, this, [this] { m_detail->flash(L10n::t("kw.organize.copied")); });
}

KnowledgeWindow::~KnowledgeWindow() = default;

QWidget* KnowledgeWindow::buildTopBar()
{
    auto* bar = new QWidget(this);
    bar->setFixedHeight(topBarHeight);
    m_search = new QLineEdit(bar);
    m_search->setAccessibleName(QStringLiteral("knowledge-search"));
    m_search->setPlaceholderText(L10n::t("kw.search.placeholder"));
    m_search->setClearButtonEnabled(true);

    auto* filters = new QHBoxLayout;
    filters->setSpacing(0);
    m_filter = new QButtonGroup(bar);
    const char* keys[] = {"kw.filter.all", "kw.filter.fav", "kw.filter.collection"};
    const char* names[] = {"knowledge-filter-all", "knowledge-filter-saved", "knowledge-filter-collection"};
    for (int i = 0; i < 3; ++i) {
        auto* segment = new QPushButton(buttonText(keys[i]), bar);
        segment->setAccessibleName(QString::fromLatin1(names[i]));
        segment->setCheckable(true);
        segment->setChecked(i == 0);
        m_filter->addButton(segment, i);
        filters->addWidget(segment);
    }
    m_export = new QPushButton(bar);
    m_export->setAccessibleName(QStringLiteral("knowledge-export"));
    auto* clear = new QPushButton(buttonText("kw.btn.clear"), bar);
    clear->setAccessibleName(QStringLiteral("knowledge-clear"));

    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->addWidget(m_search, 1);
    layout->addLayout(filters);
    layout->addWidget(m_export);
    layout->addWidget(clear);

    connect(m_search, &QLineEdit::textChanged, this, [this](const QString& text) {
        commitEdits();
        m_browser->setQuery(text);
    });
    connect(m_filter, &QButtonGroup::idClicked, this, [this](int id) {
        commitEdits();
        m_browser->setFilter(Filter(id));
    });
    connect(m_export, &QPushButton::clicked, this, &KnowledgeWindow::exportOrOrganise);
    connect(clear, &QPushButton::clicked, this, &KnowledgeWindow::confirmClear);
    updateExportButton();
    return bar;
}

void KnowledgeWindow::showAndRaise()
{
    reload();
    if (!isVisible() && screen())
        move(screen()->availableGeometry().center() - rect().center());
    show();
    // A window drawn off-screen (a preview) has nothing to bring forward.
    if (!testAttribute(Qt::WA_DontShowOnScreen)) {
        raise();
        activateWindow();
    }
}

void KnowledgeWindow::hideEvent(QHideEvent* event)
{
    commitEdits();
    QWidget::hideEvent(event);
}

void KnowledgeWindow::reload()
{
    commitEdits();
    m_browser->reload();
}

void KnowledgeWindow::commitEdits()
{
    const KnowledgeBrowser::Edits edits = m_detail->edits();
    const KnowledgeBrowser::Commit commit = m_browser->commit(edits);
    if (commit == KnowledgeBrowser::Commit::failed) {
        m_detail->flash(L10n::t("kw.saveFailed"), true);
        return;
    }
    // What the editors hold is what is stored now: a refresh need not show it again.
    const std::optional<KnowledgeEntry>& stored = m_browser->current();
    if (commit == KnowledgeBrowser::Commit::saved && stored
        && edits == KnowledgeBrowser::Edits{stored->sourceText, stored->resultText, stored->note, stored->favorite})
        m_shown = stored;
}

void KnowledgeWindow::showCurrent()
{
    m_shown = m_browser->current();
    if (const std::optional<KnowledgeEntry>& entry = m_browser->current())
        m_detail->showEntry(*entry);
    else
        m_detail->showHint(m_browser->emptyHint());
}

void KnowledgeWindow::syncListSelection()
{
    m_syncing = true;
    const int row = m_browser->currentRow();
    if (row >= 0) {
        const QModelIndex index = m_browser->model()->index(row);
        m_list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        m_list->scrollTo(index);
    } else {
        m_list->selectionModel()->clear();
    }
    m_syncing = false;
}

void KnowledgeWindow::updateExportButton()
{
    if (m_organise->isRunning()) {
        m_export->setText(buttonText("kw.organize.working"));
        m_export->setEnabled(false);
        return;
    }
    m_export->setText(buttonText(m_browser->filter() == Filter::collection ? "kw.btn.organize" : "kw.btn.export"));
    m_export->setEnabled(true);
}

void KnowledgeWindow::exportOrOrganise()
{
    commitEdits();
    if (m_browser->filter() == Filter::collection)
        m_organise->start();
    else
        exportKnowledgeJson(m_store, m_tasks, this);
}

void KnowledgeWindow::saveEdits()
{
    if (m_browser->commit(m_detail->edits()) == KnowledgeBrowser::Commit::failed) {
        m_detail->flash(L10n::t("kw.saveFailed"), true);
        return;
    }
    m_browser->reload();
    m_detail->flash(L10n::t("kw.saved"));
}

void KnowledgeWindow::copyResult()
{
    commitEdits();
    if (const std::optional<KnowledgeEntry>& entry = m_browser->current()) {
        m_clipboard.setText(entry->resultText);
        m_detail->flash(L10n::t("kw.resultCopied"));
    }
}

void KnowledgeWindow::deleteCurrent()
{
    if (!m_browser->removeCurrent())
        m_detail->flash(L10n::t("kw.saveFailed"), true);
}

void KnowledgeWindow::confirmClear()
{
    commitEdits();
    // Window-modal and answered through its button: the window waits, the application does not.
    auto* box = new QMessageBox(QMessageBox::Warning, L10n::t("kw.clear.title"), L10n::t("kw.clear.body"),
                                QMessageBox::NoButton, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton* confirm = box->addButton(L10n::t("kw.clear.confirm"), QMessageBox::DestructiveRole);
    confirm->setAccessibleName(QStringLiteral("knowledge-clear-confirm"));
    box->addButton(L10n::t("common.cancel"), QMessageBox::RejectRole);
    connect(confirm, &QPushButton::clicked, this, [this] {
        if (!m_browser->clearAll())
            m_detail->flash(L10n::t("kw.saveFailed"), true);
    });
    box->open();
}
