#include "platform/PlatformServices.h"

#include <mutex>
#include <utility>

#include <QTimer>

namespace {

class NoHotKeys final : public GlobalHotKeys {
public:
    bool grab(quint32, quint32, quint32) override { return false; }
    void ungrab(quint32, quint32) override { }
    void setPressedHandler(PressedHandler) override { }
};

class NoKeys final : public SyntheticKeys {
public:
    bool canSend() override { return false; }
    bool modifiersHeld() override { return false; }
    bool sendChord(quint32, quint32) override { return false; }
};

class NoClipboard final : public Clipboard {
public:
    Snapshot snapshot() override { return {}; }
    void restore(const Snapshot&) override { }
    quint64 changeCount() override { return 0; }
    std::optional<QString> text() override { return std::nullopt; }
    void setText(const QString&) override { }
    QString selectionText() override { return {}; }
};

class NoAccessibility final : public Accessibility {
public:
    bool isTrusted() override { return false; }
    std::optional<QString> selectedText() override { return std::nullopt; }
    std::optional<QString> value(qsizetype) override { return std::nullopt; }
    std::optional<Range> selectedRange() override { return std::nullopt; }
    bool setSelectedText(const QString&) override { return false; }
};

class NoWorkspace final : public Workspace {
public:
    std::optional<qint64> frontmostProcessId() override { return std::nullopt; }
    QString localizedName(qint64) override { return {}; }
    bool isRunning(qint64) override { return false; }
    bool frontmostIsTerminal() override { return false; }
    bool activate(qint64) override { return false; }
};

class NoPanelPlacement final : public PanelPlacement {
public:
    Backdrop backdrop(QWindow*) override { return Backdrop::rounded; }
    bool clientPlaces() const override { return true; }
    std::optional<QPoint> origin(QWindow*) override { return std::nullopt; }
};

class NoScreenImages final : public ScreenImages {
public:
    void grab(QObject* context, Done done) override
    {
        QTimer::singleShot(0, context, [done = std::move(done)] { done({}); });
    }
    Road road() const override { return Road::none; }
    State state() const override { return State::unavailable; }
};

class NoDesktopHelper final : public DesktopHelper {
public:
    State state() const override { return State::none; }
    void turnOn(QObject*, std::function<void(bool)> done) override { done(false); }
};

template <typename Service, typename Nothing>
void fill(std::shared_ptr<Service>& service)
{
    if (!service)
        service = std::make_shared<Nothing>();
}

PlatformServices complete(PlatformServices services)
{
    fill<GlobalHotKeys, NoHotKeys>(services.hotKeys);
    fill<SyntheticKeys, NoKeys>(services.keys);
    fill<Clipboard, NoClipboard>(services.clipboard);
    fill<Accessibility, NoAccessibility>(services.accessibility);
    fill<Workspace, NoWorkspace>(services.workspace);
    fill<PanelPlacement, NoPanelPlacement>(services.panels);
    fill<ScreenImages, NoScreenImages>(services.screenImages);
    fill<DesktopHelper, NoDesktopHelper>(services.desktopHelper);
    return services;
}

std::mutex servicesMutex;
PlatformServices installed = complete({});

}

namespace Platform {

void install(PlatformServices services)
{
    services = complete(std::move(services));
    std::unique_lock lock(servicesMutex);
    PlatformServices previous = std::exchange(installed, std::move(services));
    lock.unlock(); // the previous services may take a while to shut down
}

PlatformServices services()
{
    std::lock_guard lock(servicesMutex);
    return installed;
}

}
