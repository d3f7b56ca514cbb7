#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/Clipboard.h"

struct wl_display;
struct wl_proxy;

// The clipboard and the primary selection of a Wayland seat through the data-control protocol
// (ext-data-control-v1, else zwlr_data_control_manager_v1 version 2 or later), which reads both
// without a focused surface. It has its own connection to the compositor, whose events a
// worker thread dispatches, so it does not depend on Qt's. Every call may be made from any
// thread and waits a bounded time for the owning application to hand the data over.
class DataControlClipboard final : public Clipboard {
public:
    // Nothing when the compositor cannot be reached or offers neither protocol.
    static std::shared_ptr<DataControlClipboard> connect();
    ~DataControlClipboard() override;
    DataControlClipboard(const DataControlClipboard&) = delete;
    DataControlClipboard& operator=(const DataControlClipboard&) = delete;

    Snapshot snapshot() override;
    void restore(const Snapshot& snapshot) override;
    quint64 changeCount() override;
    std::optional<QString> text() override;
    void setText(const QString& text) override;
    QString selectionText() override;

    struct Offer;
    struct Source;
    struct Protocol;

private:
    DataControlClipboard() = default;
    bool setUp();
    void run(const std::stop_token& stop);
    std::optional<QByteArray> receive(bool primary, const QString& mimeType);
    std::optional<QString> textOf(bool primary);
    void offerOwn(Snapshot formats);
    // The introduced offer the compositor now names as a selection; m_mutex held.
    std::unique_ptr<Offer> takePending(wl_proxy* offer);

    // Listener entry points, on the worker thread (or during setUp).
    static void onGlobal(void* self, wl_proxy* registry, uint32_t name, const char* interface, uint32_t version);
    static void onDataOffer(void* self, wl_proxy* device, wl_proxy* offer);
    static void onSelection(void* self, wl_proxy* device, wl_proxy* offer);
    static void onPrimarySelection(void* self, wl_proxy* device, wl_proxy* offer);
    static void onFinished(void* self, wl_proxy* device);
    static void onOfferMimeType(void* offer, wl_proxy* proxy, const char* mimeType);
    static void onSend(void* source, wl_proxy* proxy, const char* mimeType, int32_t fd);
    static void onCancelled(void* source, wl_proxy* proxy);

    wl_display* m_display = nullptr;
    wl_proxy* m_registry = nullptr;
    wl_proxy* m_seat = nullptr;
    wl_proxy* m_manager = nullptr;
    wl_proxy* m_device = nullptr;
    const Protocol* m_protocol = nullptr;
    uint32_t m_version = 0;
    int m_wake = -1; // an eventfd that ends the worker's wait

    std::mutex m_mutex;                            // guards what follows; the worker changes it, callers read it
    std::vector<std::unique_ptr<Offer>> m_pending; // introduced, not yet named clipboard or primary
    std::unique_ptr<Offer> m_clipboard;
    std::unique_ptr<Offer> m_primary;
    std::unique_ptr<Source> m_own; // what we put on the clipboard ourselves
    quint64 m_changes = 0;
    bool m_finished = false;

    std::jthread m_worker;
};
