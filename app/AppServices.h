#pragma once

#include <memory>

#include "core/TaskPool.h"
#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"

class ActionEngine;

// The one place where the program's real services are built; everything below app/ gets them
// handed down. Destroying it stops every background task before the services they use go.
class AppServices {
public:
    AppServices();
    ~AppServices();
    AppServices(const AppServices&) = delete;
    AppServices& operator=(const AppServices&) = delete;

    KnowledgeStore& knowledge() { return m_knowledge; }
    SemanticRecall& semantic() { return m_semantic; }
    TaskPool& tasks() { return m_tasks; }
    const std::shared_ptr<ActionEngine>& actionEngine() const { return m_actionEngine; }

private:
    SemanticRecall m_semantic;
    KnowledgeStore m_knowledge;
    std::shared_ptr<ActionEngine> m_actionEngine;
    // Last, so it is destroyed first: no task outlives what it uses.
    TaskPool m_tasks;
};
