#include "platform/atspi/AtspiFocus.h"

#include <chrono>
#include <deque>

#include <unistd.h>

#include "platform/atspi/AtspiBus.h"

using namespace AtspiCalls;

namespace {

// A tree too large to walk in time (hundreds of objects in a Qt frame) leaves the caller with
// what the focus events told it.
constexpr auto walkBudget = std::chrono::milliseconds(150);
constexpr int walkLimit = 5000;
constexpr gint collectionMatches = 8;

// 0: not a candidate; higher is better.
int rank(AtspiAccessible* object, AtspiStateSet* states)
{
    if (!states || !atspi_state_set_contains(states, ATSPI_STATE_FOCUSED))
        return 0;
    const GRef<AtspiText> text(atspi_accessible_get_text_iface(object));
    if (!text)
        return 0;
    const std::optional<Selection> selection = selectionOf(text.get());
    if (selection && selection->end > selection->start)
        return 3;
    return atspi_state_set_contains(states, ATSPI_STATE_EDITABLE) ? 2 : 1;
}

struct Best {
    GRef<AtspiAccessible> object;
    int rank = 0;
    void offer(AtspiAccessible* candidate, int candidateRank)
    {
        if (candidateRank > rank) {
            object = share(candidate);
            rank = candidateRank;
        }
    }
};

// GTK 4.8 marks only windows SHOWING, so hidden subtrees cannot be skipped there.
bool showingIsReliable(AtspiAccessible* application)
{
    CallError error;
    gchar* toolkit = atspi_accessible_get_toolkit_name(application, error.out());
    gchar* version = error ? nullptr : atspi_accessible_get_toolkit_version(application, error.out());
    const bool gtk4 = !error && toolkit && version && g_ascii_strcasecmp(toolkit, "gtk") == 0 && version[0] == '4';
    g_free(toolkit);
    g_free(version);
    return !gtk4;
}

GRef<AtspiAccessible> activeWindowOf(AtspiAccessible* application)
{
    CallError error;
    const gint children = atspi_accessible_get_child_count(application, error.out());
    for (gint i = 0; i < children && !error; ++i) {
        GRef<AtspiAccessible> child(atspi_accessible_get_child_at_index(application, i, error.out()));
        if (child && hasState(child.get(), ATSPI_STATE_ACTIVE))
            return child;
    }
    return nullptr;
}

GRef<AtspiAccessible> activeFrame(AtspiAccessible* application)
{
    if (GRef<AtspiAccessible> active = activeWindowOf(application))
        return active;
    return share(application);
}

GRef<AtspiAccessible> byWalk(AtspiAccessible* application)
{
    const auto deadline = std::chrono::steady_clock::now() + walkBudget;
    const bool pruneHidden = showingIsReliable(application);
    std::deque<GRef<AtspiAccessible>> pending;
    pending.push_back(activeFrame(application));
    Best best;
    for (int visited = 0; !pending.empty() && visited < walkLimit && std::chrono::steady_clock::now() < deadline;
         ++visited) {
        const GRef<AtspiAccessible> node = std::move(pending.front());
        pending.pop_front();
        const GRef<AtspiStateSet> states(atspi_accessible_get_state_set(node.get()));
        best.offer(node.get(), rank(node.get(), states.get()));
        if (best.rank == 3)
            break;
        // The children of a list or table are made on demand: there may be millions.
        if (!states || atspi_state_set_contains(states.get(), ATSPI_STATE_MANAGES_DESCENDANTS)
            || (pruneHidden && visited > 0 && !atspi_state_set_contains(states.get(), ATSPI_STATE_SHOWING)))
            continue;
        CallError error;
        const gint children = atspi_accessible_get_child_count(node.get(), error.out());
        for (gint i = 0; i < children && !error; ++i) {
            if (AtspiAccessible* child = atspi_accessible_get_child_at_index(node.get(), i, error.out()))
                pending.emplace_back(child);
        }
    }
    return std::move(best.object);
}

// One call instead of a walk (GTK 3, VTE, Gecko, LibreOffice); nothing when the application has no
// Collection or does not answer, an empty reference when it has no focused text.
std::optional<GRef<AtspiAccessible>> byCollection(AtspiAccessible* application)
{
    const GRef<AtspiCollection> collection(atspi_accessible_get_collection_iface(application));
    if (!collection)
        return std::nullopt;
    const GRef<AtspiStateSet> focused(atspi_state_set_new(nullptr));
    atspi_state_set_add(focused.get(), ATSPI_STATE_FOCUSED);
    GArray* interfaces = g_array_new(FALSE, FALSE, sizeof(const gchar*));
    const gchar* textInterface = "Text";
    g_array_append_val(interfaces, textInterface);
    const GRef<AtspiMatchRule> rule(
        atspi_match_rule_new(focused.get(), ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_NONE, nullptr,
                             ATSPI_Collection_MATCH_NONE, interfaces, ATSPI_Collection_MATCH_ALL, FALSE));
    g_array_unref(interfaces);
    CallError error;
    GArray* matches = atspi_collection_get_matches(collection.get(), rule.get(), ATSPI_Collection_SORT_ORDER_CANONICAL,
                                                   collectionMatches, TRUE, error.out());
    Best best;
    for (guint i = 0; matches && i < matches->len; ++i) {
        const GRef<AtspiAccessible> match(g_array_index(matches, AtspiAccessible*, i));
        const GRef<AtspiStateSet> states(atspi_accessible_get_state_set(match.get()));
        best.offer(match.get(), rank(match.get(), states.get()));
    }
    if (matches)
        g_array_free(matches, TRUE);
    if (error)
        return std::nullopt;
    return std::move(best.object);
}

}

namespace AtspiFocus {

GRef<AtspiAccessible> applicationOf(qint64 pid)
{
    const GRef<AtspiAccessible> desktop(atspi_get_desktop(0));
    CallError error;
    const gint applications = desktop ? atspi_accessible_get_child_count(desktop.get(), error.out()) : 0;
    for (gint i = 0; i < applications && !error; ++i) {
        GRef<AtspiAccessible> application(atspi_accessible_get_child_at_index(desktop.get(), i, error.out()));
        if (application && processOf(application.get()) == pid)
            return application;
    }
    return nullptr;
}

std::optional<qint64> activeApplicationProcess()
{
    // Without a bus to join, AT-SPI would start a stray session bus; joining twice is free.
    if (!AtspiBus::sessionBusKnown() && !qEnvironmentVariableIsSet("AT_SPI_BUS_ADDRESS"))
        return std::nullopt;
    if (const int status = atspi_init(); status != 0 && status != 1)
        return std::nullopt;
    const GRef<AtspiAccessible> desktop(atspi_get_desktop(0));
    CallError error;
    const gint applications = desktop ? atspi_accessible_get_child_count(desktop.get(), error.out()) : 0;
    for (gint i = 0; i < applications && !error; ++i) {
        // One application that does not answer must not hide the others.
        CallError childError;
        const GRef<AtspiAccessible> application(
            atspi_accessible_get_child_at_index(desktop.get(), i, childError.out()));
        const std::optional<qint64> pid = application ? processOf(application.get()) : std::nullopt;
        if (pid && *pid != getpid() && activeWindowOf(application.get()))
            return pid;
    }
    return std::nullopt;
}

GRef<AtspiAccessible> focusedText(AtspiAccessible* application)
{
    if (std::optional<GRef<AtspiAccessible>> found = byCollection(application))
        return std::move(*found);
    return byWalk(application);
}

}
