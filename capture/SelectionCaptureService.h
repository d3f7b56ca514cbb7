#pragma once

#include <functional>
#include <optional>
#include <stop_token>

#include "capture/SelectionCapture.h"
#include "platform/PlatformServices.h"

class QObject;
class TaskPool;

// What the main shortcut does, as the controller asks for it: accessibility first, on the
// calling main thread; when that cannot tell, the simulated copy in the background (a focused
// element that reports no selection means nothing is selected). done runs
// on the main thread (at once when accessibility answered), and not at all once its context has
// been destroyed or the capture was cancelled.
class SelectionCaptureService {
public:
    using Done = std::function<void(std::optional<SelectionCapture::Result>)>;

    virtual ~SelectionCaptureService() = default;

    virtual void capture(QObject* context, Done done) = 0;
    // Drops every capture in flight: its copy stops waiting, and its done never runs.
    virtual void cancel() = 0;
};

// The capture on the platform's accessibility, keys and clipboard; the copies are tasks of the
// pool the composition root owns. Destroying it cancels what is in flight.
class PlatformSelectionCapture final : public SelectionCaptureService {
public:
    PlatformSelectionCapture(PlatformServices platform, TaskPool& tasks);
    ~PlatformSelectionCapture() override;
    PlatformSelectionCapture(const PlatformSelectionCapture&) = delete;
    PlatformSelectionCapture& operator=(const PlatformSelectionCapture&) = delete;

    void capture(QObject* context, Done done) override;
    void cancel() override;

private:
    PlatformServices m_platform;
    TaskPool& m_tasks;
    std::stop_source m_inFlight; // main thread; replaced at every cancel
};
