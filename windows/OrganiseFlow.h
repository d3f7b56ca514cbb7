#pragma once

#include <memory>

#include <QObject>
#include <QPointer>
#include <QString>

class ActionEngine;
class Clipboard;
class KnowledgeStore;
class QWidget;
class TaskPool;

// Organising "My Collection": the collected snippets go to the ready engine with the prompt that
// groups them by theme, and the Markdown reply is shown to be copied or saved. One run at a time;
// the engine is asked on a task and the window is told when the run starts and ends.
class OrganiseFlow : public QObject {
    Q_OBJECT

public:
    // The store must outlive the pool, and the pool the flow's tasks. Alerts and dialogs open
    // over `window`; a reply the user copies goes to `clipboard`.
    OrganiseFlow(KnowledgeStore& store, TaskPool& tasks, std::shared_ptr<ActionEngine> engine, Clipboard& clipboard,
                 QWidget* window);

    bool isRunning() const { return m_running; }
    // Starts a run; nothing while one runs.
    void start();

Q_SIGNALS:
    void runningChanged(bool running);
    // The reply was put on the clipboard.
    void copied();

private:
    enum class Outcome { notReady, failed, answered };
    struct Reply {
        Outcome outcome;
        QString text;
    };
    void finish(const Reply& reply);
    void showResult(const QString& reply);
    void saveMarkdown(const QString& reply);

    KnowledgeStore& m_store;
    TaskPool& m_tasks;
    std::shared_ptr<ActionEngine> m_engine;
    Clipboard& m_clipboard;
    QPointer<QWidget> m_window;
    bool m_running = false;
};
