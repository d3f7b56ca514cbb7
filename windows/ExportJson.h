#pragma once

class KnowledgeStore;
class QWidget;
class TaskPool;

// Asks where to save the whole knowledge base as JSON, then writes it on a task (atomically, so
// an existing file is replaced only by a complete one) and says so over `window` if it failed.
// The store must outlive the pool.
void exportKnowledgeJson(KnowledgeStore& store, TaskPool& tasks, QWidget* window);
