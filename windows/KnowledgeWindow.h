#pragma once

#include <memory>
#include <optional>

#include <QWidget>

#include "memory/KnowledgeEntry.h"

class ActionEngine;
class Clipboard;
class KnowledgeBrowser;
class KnowledgeDetail;
class KnowledgeStore;
class OrganiseFlow;
class ProfileCard;
class QButtonGroup;
class QLineEdit;
class QListView;
class QPushButton;
class TaskPool;

// The knowledge base window: search and filter the remembered lookups and collected snippets,
// read and edit them, star, delete, clear, export, organise the collection, and see or change
// the learned profile. Closing only hides it; showing it again reloads; while it shows, it
// follows every change of the base, whichever process made it. Main thread only.
class KnowledgeWindow : public QWidget {
    Q_OBJECT

public:
    // The store must outlive the pool, and the pool the window's tasks (profile regeneration,
    // organising, exports); the engine answers the one-shot requests of both.
    KnowledgeWindow(KnowledgeStore& store, TaskPool& tasks, std::shared_ptr<ActionEngine> engine, Clipboard& clipboard,
                    QWidget* parent = nullptr);
    ~KnowledgeWindow() override;

    // Reloads and brings the window to the front.
    void showAndRaise();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* buildTopBar();
    void reload();
    // Writes what the user changed in the editors; every step away from an entry does this first.
    void commitEdits();
    void showCurrent();
    void syncListSelection();
    void updateExportButton();
    void exportOrOrganise();
    void saveEdits();
    void copyResult();
    void deleteCurrent();
    void confirmClear();

    KnowledgeStore& m_store;
    TaskPool& m_tasks;
    Clipboard& m_clipboard;
    KnowledgeBrowser* m_browser;
    OrganiseFlow* m_organise;
    QLineEdit* m_search = nullptr;
    QButtonGroup* m_filter = nullptr;
    QPushButton* m_export = nullptr;
    QListView* m_list = nullptr;
    KnowledgeDetail* m_detail = nullptr;
    ProfileCard* m_profile = nullptr;
    bool m_syncing = false;
    // The entry the detail shows, as it showed it.
    std::optional<KnowledgeEntry> m_shown;
};
