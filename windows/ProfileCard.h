#pragma once

#include <memory>

#include <QFrame>

class ActionEngine;
class KnowledgeStore;
class QCheckBox;
class QLabel;
class QPushButton;
class TaskPool;

// The learned profile in the knowledge window: its line and where it came from, the switch
// that turns learning on and off, editing, and regenerating on request.
class ProfileCard : public QFrame {
    Q_OBJECT

public:
    // The store must outlive the pool, and the pool the card's tasks.
    ProfileCard(KnowledgeStore& store, TaskPool& tasks, std::shared_ptr<ActionEngine> engine,
                QWidget* parent = nullptr);

    // Reads the switch and the profile again.
    void refresh();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void elideText();
    void setEnabledSetting(bool enabled);
    void edit();
    void regenerate();

    KnowledgeStore& m_store;
    TaskPool& m_tasks;
    std::shared_ptr<ActionEngine> m_engine;
    bool m_regenerating = false;
    QCheckBox* m_switch;
    QPushButton* m_edit;
    QPushButton* m_refresh;
    QLabel* m_text;
    QLabel* m_meta;
    QString m_fullText;
};
