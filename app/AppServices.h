#pragma once

#include <memory>

#include "capture/SelectionCaptureService.h"
#include "core/TaskPool.h"
#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"
#include "ocr/ScreenOCR.h"
#include "platform/PlatformServices.h"

class ActionEngine;
class EngineControl;

// The one place where the program's real services are built; everything below app/ gets them
// handed down. Built after the platform is installed. Destroying it stops every background task
// before the services they use go.
class AppServices {
public:
    AppServices();
    ~AppServices();
    AppServices(const AppServices&) = delete;
    AppServices& operator=(const AppServices&) = delete;

    KnowledgeStore& knowledge() { return m_knowledge; }
    SemanticRecall& semantic() { return m_semantic; }
    TaskPool& tasks() { return m_tasks; }
    const std::shared_ptr<EngineControl>& engines() const { return m_engines; }
    const std::shared_ptr<ActionEngine>& actionEngine() const { return m_actionEngine; }
    SelectionCaptureService& selectionCapture() { return *m_selectionCapture; }
    ScreenTextCapture& screenText() { return m_screenText; }
    Clipboard& clipboard() { return *m_platform.clipboard; }
    Workspace& workspace() { return *m_platform.workspace; }

private:
    PlatformServices m_platform; // the installed platform, held for the references handed out
    SemanticRecall m_semantic;
    KnowledgeStore m_knowledge;
    std::shared_ptr<EngineControl> m_engines;
    std::shared_ptr<ActionEngine> m_actionEngine;
    int m_settingsListener = -1;
    // After what its tasks use, so it is destroyed first: no task outlives what it uses.
    TaskPool m_tasks;
    std::unique_ptr<SelectionCaptureService> m_selectionCapture;
    ScreenOCR m_screenText;
};
