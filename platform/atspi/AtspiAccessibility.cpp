#include "platform/atspi/AtspiAccessibility.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <thread>

#include <unistd.h>

#include "platform/atspi/AtspiBus.h"
#include "platform/atspi/AtspiFocus.h"

using namespace AtspiCalls;

namespace {

// A hung application must not hold the main thread for long.
constexpr int callTimeoutMs = 500;
// Beyond this many remembered processes, those that have ended are forgotten.
constexpr std::size_t rememberedLimit = 32;
// An edit that has not shown in the text by then did not happen.
constexpr auto editShowsWithin = std::chrono::milliseconds(150);

const char* const events[] = {"object:state-changed:focused", "object:text-caret-moved",
                              "object:text-selection-changed"};

bool alive(qint64 pid)
{
    return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// The application an element we hold belongs to, as the client library knows it, without asking
// every application on the bus for its process (a dozen calls); nothing when it has not met the
// application's root yet.
GRef<AtspiAccessible> knownApplicationOf(AtspiAccessible* object)
{
    const AtspiApplication* application = ATSPI_OBJECT(object)->app;
    return application && application->root ? share(application->root) : nullptr;
}

}

AtspiAccessibility::AtspiAccessibility(std::shared_ptr<Workspace> workspace, std::function<bool()> trusted)
    : m_workspace(std::move(workspace))
    , m_trusted(std::move(trusted))
{
    if (!AtspiBus::sessionBusKnown() && !qEnvironmentVariableIsSet("AT_SPI_BUS_ADDRESS"))
        return;
    // Asking for the accessibility bus starts it, so Qt 5 applications started from now on join it.
    const int status = atspi_init(); // 0 started, 1 already running, 2 no accessibility bus
    m_ready = status == 0 || status == 1;
    if (!m_ready)
        return;
    atspi_set_timeout(callTimeoutMs, -1);
    m_listener = atspi_event_listener_new(&AtspiAccessibility::onEvent, this, nullptr);
    for (const char* event : events)
        atspi_event_listener_register(m_listener, event, nullptr);
}

AtspiAccessibility::~AtspiAccessibility()
{
    if (!m_listener)
        return;
    for (const char* event : events)
        atspi_event_listener_deregister(m_listener, event, nullptr);
    g_object_unref(m_listener);
}

void AtspiAccessibility::onEvent(AtspiEvent* event, void* self)
{
    const bool focusLost = g_str_has_prefix(event->type, "object:state-changed:focused") && event->detail1 != 1;
    if (!focusLost && event->source)
        static_cast<AtspiAccessibility*>(self)->remember(event->source);
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

void AtspiAccessibility::remember(AtspiAccessible* source)
{
    // A pane without text taking the focus must not make us forget the editor, nor our own popup.
    // Our own objects are never asked anything: we would be waiting for ourselves.
    const std::optional<qint64> pid = processOf(source);
    if (!pid)
        return;
    if (*pid == getpid()) {
        forgetOwnObjects(source);
        return;
    }
    const GRef<AtspiText> text(atspi_accessible_get_text_iface(source));
    if (!text)
        return;
    if (m_remembered.size() >= rememberedLimit)
        std::erase_if(m_remembered, [](const auto& entry) { return !alive(entry.first); });
    m_remembered[*pid] = share(source);
}

void AtspiAccessibility::forgetOwnObjects(AtspiAccessible* ownObject)
{
    // The client library keeps every object an event names until its application announces the
    // removal, which Qt never does; our panel makes new widgets at every showing, so the objects
    // of our own process would pile up for its whole life. We never ask our own objects anything,
    // so the cache of our own application is simply emptied; whoever still holds one keeps it.
    AtspiApplication* ownApplication = ATSPI_OBJECT(ownObject)->app;
    if (ownApplication && ownApplication->hash)
        g_hash_table_remove_all(ownApplication->hash);
}

AtspiAccessibility::TextElement AtspiAccessibility::focusedText()
{
    if (!m_ready)
        return {};
    std::optional<qint64> pid = m_workspace ? m_workspace->frontmostProcessId() : std::nullopt;
    if (!pid || *pid == getpid())
        pid = m_lastProcess;
    if (!pid)
        return {};
    m_lastProcess = pid;
    const auto remembered = m_remembered.find(*pid);
    if (remembered != m_remembered.end() && hasState(remembered->second.get(), ATSPI_STATE_FOCUSED))
        return {share(remembered->second.get()), true};
    GRef<AtspiAccessible> application =
        remembered != m_remembered.end() ? knownApplicationOf(remembered->second.get()) : nullptr;
    if (!application)
        application = AtspiFocus::applicationOf(*pid);
    if (GRef<AtspiAccessible> found = application ? AtspiFocus::focusedText(application.get()) : nullptr) {
        m_remembered[*pid] = share(found.get());
        return {std::move(found), true};
    }
    return {remembered != m_remembered.end() ? share(remembered->second.get()) : nullptr, false};
}

bool AtspiAccessibility::isTrusted()
{
    if (m_trusted)
        return m_trusted();
    return m_ready && AtspiBus::isEnabled();
}

std::optional<QString> AtspiAccessibility::selectedText()
{
    m_read.reset();
    const TextElement element = focusedText();
    if (!element.object)
        return std::nullopt;
    std::optional<AtspiSelectedText::Held> read = AtspiSelectedText::read(element.object.get());
    // An element that no longer has the focus cannot tell that nothing is selected elsewhere.
    if (!read || (read->selected.isEmpty() && !element.focused))
        return std::nullopt;
    QString selected = read->selected;
    m_read = std::move(read);
    return selected;
}

std::optional<QString> AtspiAccessibility::value(qsizetype maxLength)
{
    if (!m_read || !m_read->hasContext)
        return std::nullopt;
    CallError error;
    const gint count = atspi_text_get_character_count(m_read->text.get(), error.out());
    // A count in either unit above the limit means more UTF-16 units than that.
    if (error || count > maxLength)
        return std::nullopt;
    std::optional<QString> whole = textBetween(m_read->text.get(), 0, count);
    if (whole && whole->size() > maxLength)
        return std::nullopt;
    return whole;
}

std::optional<Accessibility::Range> AtspiAccessibility::selectedRange()
{
    if (!m_read || !m_read->hasContext || m_read->selected.isEmpty())
        return std::nullopt;
    // Cut by the element itself, so its unit does not matter.
    const std::optional<QString> before = textBetween(m_read->text.get(), 0, m_read->range.start);
    if (!before)
        return std::nullopt;
    return Range{before->size(), m_read->selected.size()};
}

bool AtspiAccessibility::setSelectedText(const QString& replacement)
{
    const GRef<AtspiAccessible> object = focusedText().object;
    if (!object || !hasState(object.get(), ATSPI_STATE_EDITABLE))
        return false;
    const GRef<AtspiEditableText> editable(atspi_accessible_get_editable_text_iface(object.get()));
    const GRef<AtspiText> text(atspi_accessible_get_text_iface(object.get()));
    const std::optional<Selection> selection = text ? selectionOf(text.get()) : std::nullopt;
    if (!editable || !selection)
        return false;

    CallError error;
    const bool selected = selection->end > selection->start;
    const gint start = selected ? selection->start : atspi_text_get_caret_offset(text.get(), error.out());
    const gint end = selected ? selection->end : start;
    const gint count = atspi_text_get_character_count(text.get(), error.out());
    const std::optional<QString> before = error || start < 0 ? std::nullopt : textBetween(text.get(), 0, start);
    const std::optional<QString> after = before ? textBetween(text.get(), end, count) : std::nullopt;
    if (!after)
        return false;
    if (selected && (!atspi_editable_text_delete_text(editable.get(), start, end, error.out()) || error))
        return false;
    // The length is counted in UTF-16 units by Qt and in bytes by the other toolkits.
    const QByteArray utf8 = replacement.toUtf8();
    const gint length = countsUtf16(object.get()) ? replacement.size() : utf8.size();
    if (!atspi_editable_text_insert_text(editable.get(), start, utf8.constData(), length, error.out()) || error)
        return false;

    const QString expected = *before + replacement + *after;
    const auto deadline = std::chrono::steady_clock::now() + editShowsWithin;
    while (wholeText(text.get()) != expected) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

bool AtspiAccessibility::sessionSwitchOn()
{
    return AtspiBus::isEnabled();
}

bool AtspiAccessibility::turnOnSessionSwitch()
{
    return AtspiBus::enable();
}

void AtspiAccessibility::ensureBusRunning()
{
    AtspiBus::ensureRunning();
}
