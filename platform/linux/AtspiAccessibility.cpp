#include "platform/linux/AtspiAccessibility.h"

#include <QFile>

#include <atspi/atspi.h>
#include <unistd.h>

#include "platform/linux/X11Session.h"

namespace {

// A hung application must not hold the main thread for long.
constexpr int callTimeoutMs = 500;
// Enough for any editor's tree; a tree walk stops there.
constexpr int walkLimit = 5000;

struct GObjectUnref {
    void operator()(void* object) const { g_object_unref(object); }
};
template<typename T>
using GRef = std::unique_ptr<T, GObjectUnref>;

// Collects a GError and reports whether a call failed.
class CallError {
public:
    ~CallError() { g_clear_error(&m_error); }
    GError** out() { return &m_error; }
    explicit operator bool() const { return m_error != nullptr; }

private:
    GError* m_error = nullptr;
};

// Connecting without a session bus would start one of its own (D-Bus autolaunch).
bool sessionBusKnown()
{
    const QByteArray runtimeDir = qgetenv("XDG_RUNTIME_DIR");
    return qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS") || qEnvironmentVariableIsSet("AT_SPI_BUS_ADDRESS")
        || (!runtimeDir.isEmpty() && QFile::exists(QString::fromLocal8Bit(runtimeDir + "/bus")));
}

std::optional<qint64> processOf(AtspiAccessible* object)
{
    CallError error;
    const guint pid = atspi_accessible_get_process_id(object, error.out());
    if (error || pid == 0)
        return std::nullopt;
    return pid;
}

bool hasState(AtspiAccessible* object, AtspiStateType state)
{
    const GRef<AtspiStateSet> states(atspi_accessible_get_state_set(object));
    return states && atspi_state_set_contains(states.get(), state);
}

// Qt counts offsets in UTF-16 units; AT-SPI itself, and GTK, in code points. Only the
// application object answers for its toolkit.
bool countsUtf16(AtspiAccessible* object)
{
    CallError error;
    const GRef<AtspiAccessible> application(atspi_accessible_get_application(object, error.out()));
    gchar* toolkit = application && !error ? atspi_accessible_get_toolkit_name(application.get(), error.out()) : nullptr;
    const bool qt = !error && toolkit && g_ascii_strncasecmp(toolkit, "qt", 2) == 0;
    g_free(toolkit);
    return qt;
}

std::optional<QString> textBetween(AtspiText* text, gint start, gint end)
{
    CallError error;
    gchar* utf8 = atspi_text_get_text(text, start, end, error.out());
    if (error || !utf8) {
        g_free(utf8);
        return std::nullopt;
    }
    QString result = QString::fromUtf8(utf8);
    g_free(utf8);
    return result;
}

// The first selection in the toolkit's units; nothing when there is none.
std::optional<std::pair<gint, gint>> selectionOf(AtspiText* text)
{
    CallError error;
    if (atspi_text_get_n_selections(text, error.out()) < 1 || error)
        return std::nullopt;
    AtspiRange* range = atspi_text_get_selection(text, 0, error.out());
    if (error || !range)
        return std::nullopt;
    const std::pair<gint, gint> offsets{range->start_offset, range->end_offset};
    g_free(range);
    if (offsets.first < 0 || offsets.second <= offsets.first)
        return std::nullopt;
    return offsets;
}

AtspiAccessible* focusedByWalk(AtspiAccessible* root)
{
    QList<AtspiAccessible*> pending = {static_cast<AtspiAccessible*>(g_object_ref(root))};
    AtspiAccessible* found = nullptr;
    for (int visited = 0; !pending.isEmpty() && !found && visited < walkLimit; ++visited) {
        const GRef<AtspiAccessible> node(pending.takeFirst());
        if (hasState(node.get(), ATSPI_STATE_FOCUSED)) {
            found = static_cast<AtspiAccessible*>(g_object_ref(node.get()));
            break;
        }
        if (node.get() != root && !hasState(node.get(), ATSPI_STATE_SHOWING))
            continue;
        CallError error;
        const gint children = atspi_accessible_get_child_count(node.get(), error.out());
        for (gint i = 0; i < children && !error; ++i) {
            if (AtspiAccessible* child = atspi_accessible_get_child_at_index(node.get(), i, error.out()))
                pending.append(child);
        }
    }
    for (AtspiAccessible* left : std::as_const(pending))
        g_object_unref(left);
    return found;
}

// Toolkits with the Collection interface (GTK) answer in one call what a walk needs hundreds for.
AtspiAccessible* focusedByCollection(AtspiAccessible* application)
{
    const GRef<AtspiCollection> collection(atspi_accessible_get_collection_iface(application));
    if (!collection)
        return nullptr;
    const GRef<AtspiStateSet> focused(atspi_state_set_new(nullptr));
    atspi_state_set_add(focused.get(), ATSPI_STATE_FOCUSED);
    const GRef<AtspiMatchRule> rule(atspi_match_rule_new(focused.get(), ATSPI_Collection_MATCH_ALL, nullptr,
                                                         ATSPI_Collection_MATCH_NONE, nullptr,
                                                         ATSPI_Collection_MATCH_NONE, nullptr,
                                                         ATSPI_Collection_MATCH_NONE, FALSE));
    CallError error;
    GArray* matches = atspi_collection_get_matches(collection.get(), rule.get(), ATSPI_Collection_SORT_ORDER_CANONICAL,
                                                   1, TRUE, error.out());
    AtspiAccessible* found = nullptr;
    if (!error && matches && matches->len > 0)
        found = static_cast<AtspiAccessible*>(g_object_ref(g_array_index(matches, AtspiAccessible*, 0)));
    if (matches) {
        for (guint i = 0; i < matches->len; ++i)
            g_object_unref(g_array_index(matches, AtspiAccessible*, i));
        g_array_free(matches, TRUE);
    }
    return found;
}

AtspiAccessible* focusedInProcess(qint64 pid)
{
    const GRef<AtspiAccessible> desktop(atspi_get_desktop(0));
    CallError error;
    const gint applications = desktop ? atspi_accessible_get_child_count(desktop.get(), error.out()) : 0;
    for (gint i = 0; i < applications && !error; ++i) {
        const GRef<AtspiAccessible> application(atspi_accessible_get_child_at_index(desktop.get(), i, error.out()));
        if (!application || processOf(application.get()) != pid)
            continue;
        if (AtspiAccessible* found = focusedByCollection(application.get()))
            return found;
        return focusedByWalk(application.get());
    }
    return nullptr;
}

}

AtspiAccessibility::AtspiAccessibility(std::shared_ptr<Workspace> workspace)
    : m_workspace(std::move(workspace))
{
    if (!sessionBusKnown())
        return;
    const int status = atspi_init(); // 0 started, 1 already running, 2 no accessibility bus
    m_ready = status == 0 || status == 1;
    if (!m_ready)
        return;
    atspi_set_timeout(callTimeoutMs, -1);
    m_listener = atspi_event_listener_new(&AtspiAccessibility::onFocus, this, nullptr);
    atspi_event_listener_register(m_listener, "object:state-changed:focused", nullptr);
}

AtspiAccessibility::~AtspiAccessibility()
{
    if (m_listener) {
        atspi_event_listener_deregister(m_listener, "object:state-changed:focused", nullptr);
        g_object_unref(m_listener);
    }
    if (m_focused)
        g_object_unref(m_focused);
}

void AtspiAccessibility::onFocus(AtspiEvent* event, void* self)
{
    auto* accessibility = static_cast<AtspiAccessibility*>(self);
    // Our own popup taking the focus must not make us forget the text the user came from.
    if (event->detail1 == 1 && event->source && processOf(event->source) != getpid()) {
        if (accessibility->m_focused)
            g_object_unref(accessibility->m_focused);
        accessibility->m_focused = static_cast<AtspiAccessible*>(g_object_ref(event->source));
    }
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

AtspiAccessible* AtspiAccessibility::focused()
{
    if (!m_ready)
        return nullptr;
    const std::optional<qint64> frontmost = m_workspace ? m_workspace->frontmostProcessId() : std::nullopt;
    const bool frontmostIsOther = frontmost && *frontmost != getpid();
    if (m_focused && (!frontmostIsOther || processOf(m_focused) == frontmost))
        return static_cast<AtspiAccessible*>(g_object_ref(m_focused));
    return frontmostIsOther ? focusedInProcess(*frontmost) : nullptr;
}

bool AtspiAccessibility::isTrusted()
{
    return X11Session::reachable();
}

std::optional<QString> AtspiAccessibility::selectedText()
{
    const GRef<AtspiAccessible> object(focused());
    const GRef<AtspiText> text(object ? atspi_accessible_get_text_iface(object.get()) : nullptr);
    if (!text)
        return std::nullopt;
    const auto selection = selectionOf(text.get());
    return selection ? textBetween(text.get(), selection->first, selection->second) : std::nullopt;
}

std::optional<QString> AtspiAccessibility::value(qsizetype maxLength)
{
    const GRef<AtspiAccessible> object(focused());
    const GRef<AtspiText> text(object ? atspi_accessible_get_text_iface(object.get()) : nullptr);
    if (!text)
        return std::nullopt;
    CallError error;
    const gint count = atspi_text_get_character_count(text.get(), error.out());
    // A count in either unit above the limit means more UTF-16 units than that.
    if (error || count > maxLength)
        return std::nullopt;
    std::optional<QString> whole = textBetween(text.get(), 0, count);
    if (whole && whole->size() > maxLength)
        return std::nullopt;
    return whole;
}

std::optional<Accessibility::Range> AtspiAccessibility::selectedRange()
{
    const GRef<AtspiAccessible> object(focused());
    const GRef<AtspiText> text(object ? atspi_accessible_get_text_iface(object.get()) : nullptr);
    const auto selection = text ? selectionOf(text.get()) : std::nullopt;
    if (!selection)
        return std::nullopt;
    if (countsUtf16(object.get()))
        return Range{selection->first, selection->second - selection->first};
    const std::optional<QString> before = textBetween(text.get(), 0, selection->first);
    const std::optional<QString> selected = textBetween(text.get(), selection->first, selection->second);
    if (!before || !selected)
        return std::nullopt;
    return Range{before->size(), selected->size()};
}

bool AtspiAccessibility::setSelectedText(const QString& replacement)
{
    const GRef<AtspiAccessible> object(focused());
    if (!object || !hasState(object.get(), ATSPI_STATE_EDITABLE))
        return false;
    const GRef<AtspiEditableText> editable(atspi_accessible_get_editable_text_iface(object.get()));
    const GRef<AtspiText> text(atspi_accessible_get_text_iface(object.get()));
    if (!editable || !text)
        return false;

    CallError error;
    gint position = atspi_text_get_caret_offset(text.get(), error.out());
    if (const auto selection = selectionOf(text.get())) {
        position = selection->first;
        if (!atspi_editable_text_delete_text(editable.get(), selection->first, selection->second, error.out()) || error)
            return false;
    }
    if (error || position < 0)
        return false;
    // The length is counted in UTF-16 units by Qt and in bytes by GTK and the other toolkits.
    const QByteArray utf8 = replacement.toUtf8();
    const gint length = countsUtf16(object.get()) ? replacement.size() : utf8.size();
    return atspi_editable_text_insert_text(editable.get(), position, utf8.constData(), length, error.out()) && !error;
}
