#include "platform/wayland/DataControlClipboard.h"

#include <chrono>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <wayland-client.h>

#include "ext-data-control-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace {

using namespace std::chrono_literals;

constexpr auto answerTimeout = 500ms; // the owner starts writing, or closes, by then
constexpr auto transferTimeout = 3s;  // and has written everything by then

// Both protocols have the same messages in the same order: one code path speaks either.
enum ManagerRequest : uint32_t { createDataSource = 0, getDataDevice = 1, destroyManager = 2 };
enum DeviceRequest : uint32_t { setSelection = 0, destroyDevice = 1, setPrimarySelection = 2 };
enum SourceRequest : uint32_t { offerMimeType = 0, destroySource = 1 };
enum OfferRequest : uint32_t { receiveOffer = 0, destroyOffer = 1 };

// Listener tables laid out as the generated ones of both protocols.
struct DeviceListener {
    void (*dataOffer)(void*, wl_proxy*, wl_proxy*);
    void (*selection)(void*, wl_proxy*, wl_proxy*);
    void (*finished)(void*, wl_proxy*);
    void (*primarySelection)(void*, wl_proxy*, wl_proxy*);
};
struct OfferListener {
    void (*offer)(void*, wl_proxy*, const char*);
};
struct SourceListener {
    void (*send)(void*, wl_proxy*, const char*, int32_t);
    void (*cancelled)(void*, wl_proxy*);
};

// Text as applications name it, best first.
const char* const textTypes[] = {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain", "STRING", "TEXT"};

void listen(wl_proxy* proxy, const void* listener, void* data)
{
    wl_proxy_add_listener(proxy, reinterpret_cast<void (**)(void)>(const_cast<void*>(listener)), data);
}

void request(wl_proxy* proxy, uint32_t opcode, uint32_t flags = 0)
{
    wl_proxy_marshal_flags(proxy, opcode, nullptr, wl_proxy_get_version(proxy), flags);
}

// Waits for the descriptor to be readable; false when the time ran out.
bool readable(int fd, std::chrono::steady_clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
        return false;
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, static_cast<int>(left.count())) > 0;
}

}

struct DataControlClipboard::Protocol {
    const wl_interface* manager;
    const wl_interface* device;
    const wl_interface* source;
    const wl_interface* offer;
    uint32_t leastVersion; // zwlr reads PRIMARY from version 2 on
};

namespace {

const DataControlClipboard::Protocol extProtocol{
    &ext_data_control_manager_v1_interface, &ext_data_control_device_v1_interface,
    &ext_data_control_source_v1_interface, &ext_data_control_offer_v1_interface, 1};
const DataControlClipboard::Protocol wlrProtocol{
    &zwlr_data_control_manager_v1_interface, &zwlr_data_control_device_v1_interface,
    &zwlr_data_control_source_v1_interface, &zwlr_data_control_offer_v1_interface, 2};

}

struct DataControlClipboard::Offer {
    wl_proxy* proxy;
    QStringList mimeTypes;
    explicit Offer(wl_proxy* offer)
        : proxy(offer)
    {
    }
    ~Offer() { request(proxy, destroyOffer, WL_MARSHAL_FLAG_DESTROY); }
    Offer(const Offer&) = delete;
    Offer& operator=(const Offer&) = delete;
};

struct DataControlClipboard::Source {
    DataControlClipboard* owner;
    wl_proxy* proxy;
    Snapshot formats;
    Source(DataControlClipboard* clipboard, wl_proxy* source, Snapshot offered)
        : owner(clipboard)
        , proxy(source)
        , formats(std::move(offered))
    {
    }
    ~Source() { request(proxy, destroySource, WL_MARSHAL_FLAG_DESTROY); }
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;
};

std::shared_ptr<DataControlClipboard> DataControlClipboard::connect()
{
    std::shared_ptr<DataControlClipboard> clipboard(new DataControlClipboard);
    if (!clipboard->setUp())
        return nullptr;
    clipboard->m_worker = std::jthread([raw = clipboard.get()](std::stop_token stop) { raw->run(stop); });
    return clipboard;
}

void DataControlClipboard::onGlobal(void* data, wl_proxy* registry, uint32_t name, const char* interface,
                                    uint32_t version)
{
    auto* self = static_cast<DataControlClipboard*>(data);
    const auto bind = [&](const wl_interface* type, uint32_t bound) {
        return static_cast<wl_proxy*>(wl_registry_bind(reinterpret_cast<wl_registry*>(registry), name, type, bound));
    };
    const QByteArray named(interface);
    if (named == wl_seat_interface.name && !self->m_seat) {
        self->m_seat = bind(&wl_seat_interface, 1);
        return;
    }
    // ext is the protocol's future; zwlr is bound only where ext is missing.
    for (const Protocol* protocol : {&extProtocol, &wlrProtocol}) {
        if (named != protocol->manager->name || version < protocol->leastVersion)
            continue;
        if (self->m_protocol == &extProtocol)
            return;
        if (self->m_manager)
            request(self->m_manager, destroyManager, WL_MARSHAL_FLAG_DESTROY);
        self->m_version = std::min<uint32_t>(version, static_cast<uint32_t>(protocol->manager->version));
        self->m_manager = bind(protocol->manager, self->m_version);
        self->m_protocol = protocol;
    }
}

bool DataControlClipboard::setUp()
{
    m_display = wl_display_connect(nullptr);
    if (!m_display)
        return false;
    static const wl_registry_listener registryListener{
        reinterpret_cast<void (*)(void*, wl_registry*, uint32_t, const char*, uint32_t)>(
            &DataControlClipboard::onGlobal),
        [](void*, wl_registry*, uint32_t) {},
    };
    m_registry = reinterpret_cast<wl_proxy*>(wl_display_get_registry(m_display));
    wl_registry_add_listener(reinterpret_cast<wl_registry*>(m_registry), &registryListener, this);
    if (wl_display_roundtrip(m_display) < 0 || !m_manager || !m_seat)
        return false;
    m_device = wl_proxy_marshal_flags(m_manager, getDataDevice, m_protocol->device, m_version, 0, nullptr, m_seat);
    static const DeviceListener deviceListener{&DataControlClipboard::onDataOffer, &DataControlClipboard::onSelection,
                                               &DataControlClipboard::onFinished,
                                               &DataControlClipboard::onPrimarySelection};
    listen(m_device, &deviceListener, this);
    // The compositor names the current selections at once.
    if (wl_display_roundtrip(m_display) < 0)
        return false;
    m_wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return m_wake >= 0;
}

DataControlClipboard::~DataControlClipboard()
{
    if (m_worker.joinable()) {
        m_worker.request_stop();
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(m_wake, &one, sizeof one);
        m_worker.join();
    }
    m_own.reset();
    m_clipboard.reset();
    m_primary.reset();
    m_pending.clear();
    if (m_device)
        request(m_device, destroyDevice, WL_MARSHAL_FLAG_DESTROY);
    if (m_manager)
        request(m_manager, destroyManager, WL_MARSHAL_FLAG_DESTROY);
    if (m_seat)
        wl_proxy_destroy(m_seat);
    if (m_registry)
        wl_proxy_destroy(m_registry);
    if (m_wake >= 0)
        close(m_wake);
    if (m_display) {
        wl_display_flush(m_display);
        wl_display_disconnect(m_display);
    }
}

void DataControlClipboard::run(const std::stop_token& stop)
{
    const int displayFd = wl_display_get_fd(m_display);
    while (!stop.stop_requested()) {
        while (wl_display_prepare_read(m_display) != 0)
            wl_display_dispatch_pending(m_display);
        wl_display_flush(m_display);
        pollfd waits[] = {{displayFd, POLLIN, 0}, {m_wake, POLLIN, 0}};
        if (poll(waits, 2, -1) > 0 && (waits[0].revents & POLLIN)) {
            if (wl_display_read_events(m_display) < 0)
                break; // the compositor went away
        } else {
            wl_display_cancel_read(m_display);
        }
        if (wl_display_dispatch_pending(m_display) < 0)
            break;
    }
    std::lock_guard lock(m_mutex);
    m_finished = true;
}

void DataControlClipboard::onDataOffer(void* data, wl_proxy*, wl_proxy* offer)
{
    auto* self = static_cast<DataControlClipboard*>(data);
    std::lock_guard lock(self->m_mutex);
    self->m_pending.push_back(std::make_unique<Offer>(offer));
    static const OfferListener offerListener{&DataControlClipboard::onOfferMimeType};
    listen(offer, &offerListener, self->m_pending.back().get());
}

void DataControlClipboard::onOfferMimeType(void* offer, wl_proxy*, const char* mimeType)
{
    // Only the worker touches an offer before it is named, so no lock is needed here.
    static_cast<Offer*>(offer)->mimeTypes.append(QString::fromUtf8(mimeType));
}

void DataControlClipboard::onSelection(void* data, wl_proxy*, wl_proxy* offer)
{
    auto* self = static_cast<DataControlClipboard*>(data);
    std::lock_guard lock(self->m_mutex);
    self->m_clipboard = self->takePending(offer);
    ++self->m_changes;
}

void DataControlClipboard::onPrimarySelection(void* data, wl_proxy*, wl_proxy* offer)
{
    auto* self = static_cast<DataControlClipboard*>(data);
    std::lock_guard lock(self->m_mutex);
    self->m_primary = self->takePending(offer);
}

std::unique_ptr<DataControlClipboard::Offer> DataControlClipboard::takePending(wl_proxy* offer)
{
    for (auto it = m_pending.begin(); offer && it != m_pending.end(); ++it) {
        if ((*it)->proxy == offer) {
            std::unique_ptr<Offer> taken = std::move(*it);
            m_pending.erase(it);
            return taken;
        }
    }
    return nullptr;
}

void DataControlClipboard::onFinished(void* data, wl_proxy*)
{
    auto* self = static_cast<DataControlClipboard*>(data);
    std::lock_guard lock(self->m_mutex);
    self->m_finished = true;
    self->m_clipboard.reset();
    self->m_primary.reset();
}

void DataControlClipboard::onSend(void* data, wl_proxy*, const char* mimeType, int32_t fd)
{
    const auto* source = static_cast<const Source*>(data);
    const QString wanted = QString::fromUtf8(mimeType);
    QByteArray bytes; // a shared copy: a caller may replace the source meanwhile
    {
        std::lock_guard lock(source->owner->m_mutex);
        for (const Format& format : source->formats) {
            if (format.type == wanted)
                bytes = format.data;
        }
    }
    // The reader is another process, or one of our callers on another thread: it drains the pipe.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    for (qsizetype written = 0; written < bytes.size();) {
        const ssize_t sent = write(fd, bytes.constData() + written, static_cast<std::size_t>(bytes.size() - written));
        if (sent <= 0)
            break;
        written += sent;
    }
    close(fd);
}

void DataControlClipboard::onCancelled(void* data, wl_proxy*)
{
    // Another client took the clipboard; the source is ours to destroy.
    auto* source = static_cast<Source*>(data);
    DataControlClipboard* self = source->owner;
    std::lock_guard lock(self->m_mutex);
    if (self->m_own.get() == source)
        self->m_own.reset();
}

std::optional<QByteArray> DataControlClipboard::receive(bool primary, const QString& mimeType)
{
    int pipeEnds[2];
    {
        std::lock_guard lock(m_mutex);
        const Offer* offer = primary ? m_primary.get() : m_clipboard.get();
        if (m_finished || !offer || !offer->mimeTypes.contains(mimeType) || pipe2(pipeEnds, O_CLOEXEC) != 0)
            return std::nullopt;
        wl_proxy_marshal_flags(offer->proxy, receiveOffer, nullptr, wl_proxy_get_version(offer->proxy), 0,
                               mimeType.toUtf8().constData(), pipeEnds[1]);
        wl_display_flush(m_display);
    }
    close(pipeEnds[1]);
    QByteArray data;
    char buffer[65536];
    const auto started = std::chrono::steady_clock::now();
    bool complete = false;
    while (readable(pipeEnds[0], data.isEmpty() ? started + answerTimeout : started + transferTimeout)) {
        const ssize_t got = read(pipeEnds[0], buffer, sizeof buffer);
        if (got <= 0) {
            complete = got == 0;
            break;
        }
        data.append(buffer, got);
    }
    close(pipeEnds[0]);
    return complete ? std::optional(data) : std::nullopt;
}

std::optional<QString> DataControlClipboard::textOf(bool primary)
{
    QStringList offered;
    {
        std::lock_guard lock(m_mutex);
        const Offer* offer = primary ? m_primary.get() : m_clipboard.get();
        offered = offer ? offer->mimeTypes : QStringList();
    }
    for (const char* type : textTypes) {
        if (!offered.contains(QLatin1String(type)))
            continue;
        const std::optional<QByteArray> data = receive(primary, QString::fromLatin1(type));
        return data ? std::optional(QString::fromUtf8(*data)) : std::nullopt;
    }
    return std::nullopt;
}

QString DataControlClipboard::selectionText()
{
    return textOf(true).value_or(QString());
}

std::optional<QString> DataControlClipboard::text()
{
    return textOf(false);
}

quint64 DataControlClipboard::changeCount()
{
    std::lock_guard lock(m_mutex);
    return m_changes;
}

Clipboard::Snapshot DataControlClipboard::snapshot()
{
    QStringList offered;
    {
        std::lock_guard lock(m_mutex);
        offered = m_clipboard ? m_clipboard->mimeTypes : QStringList();
    }
    Snapshot formats;
    for (const QString& type : std::as_const(offered)) {
        if (std::optional<QByteArray> data = receive(false, type))
            formats.append({type, std::move(*data)});
    }
    return formats;
}

void DataControlClipboard::offerOwn(Snapshot formats)
{
    std::lock_guard lock(m_mutex);
    if (m_finished)
        return;
    if (formats.isEmpty()) {
        wl_proxy_marshal_flags(m_device, setSelection, nullptr, m_version, 0, nullptr);
        m_own.reset();
        wl_display_flush(m_display);
        return;
    }
    wl_proxy* proxy = wl_proxy_marshal_flags(m_manager, createDataSource, m_protocol->source, m_version, 0, nullptr);
    auto source = std::make_unique<Source>(this, proxy, std::move(formats));
    for (const Format& format : source->formats)
        wl_proxy_marshal_flags(proxy, offerMimeType, nullptr, m_version, 0, format.type.toUtf8().constData());
    static const SourceListener sourceListener{&DataControlClipboard::onSend, &DataControlClipboard::onCancelled};
    listen(proxy, &sourceListener, source.get());
    wl_proxy_marshal_flags(m_device, setSelection, nullptr, m_version, 0, proxy);
    m_own = std::move(source);
    wl_display_flush(m_display);
}

void DataControlClipboard::restore(const Snapshot& snapshot)
{
    offerOwn(snapshot);
}

void DataControlClipboard::setText(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    Snapshot formats;
    for (const char* type : textTypes)
        formats.append({QString::fromLatin1(type), utf8});
    offerOwn(std::move(formats));
}
