#include "capture/SelectionCapture.h"

#include <chrono>
#include <mutex>
#include <thread>

#include "core/KeyFormatter.h"

namespace {

using namespace std::chrono_literals;

constexpr auto modifierReleaseWait = 600ms;
constexpr auto modifierPollInterval = 10ms;
constexpr auto copyWait = 800ms;
constexpr auto copyPollInterval = 15ms;
constexpr quint32 cKey = 8;

bool isBlank(const QString& text)
{
    return text.trimmed().isEmpty();
}

// Polls until the condition holds; false when the time ran out or a stop came first.
template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds limit, std::chrono::milliseconds interval,
               const std::stop_token& stop)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (stop.stop_requested() || std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(interval);
    }
    return true;
}

}

SelectionCapture::AXAnswer SelectionCapture::askAX(Accessibility& accessibility)
{
    const std::optional<QString> selected = accessibility.selectedText();
    if (!selected || isBlank(*selected))
        return {std::nullopt, selected && selected->isEmpty()};

    Result result{*selected, methodAX, std::nullopt, std::nullopt};
    const std::optional<QString> value = accessibility.value(maxContextSourceLength);
    if (!value || value->isEmpty())
        return {result};
    const std::optional<Accessibility::Range> range = accessibility.selectedRange();
    if (!range || range->location < 0 || range->length < 0)
        return {result};
    const std::optional<Context> context = contextWindow(*value, range->location, range->length, *selected);
    if (context && !(context->before.isEmpty() && context->after.isEmpty())) {
        result.contextBefore = context->before;
        result.contextAfter = context->after;
    }
    return {result};
}

std::optional<SelectionCapture::Result> SelectionCapture::captureViaCopy(const PlatformServices& platform,
                                                                         std::stop_token stop, bool userAllowsKeys)
{
    // Two copies at once would snapshot each other's intermediate clipboard.
    static std::mutex copyMutex;
    std::lock_guard lock(copyMutex);

    Clipboard& clipboard = *platform.clipboard;
    SyntheticKeys& keys = *platform.keys;
    // A selection the user has since left behind in another window stays in PRIMARY.
    const QString primary = platform.workspace->frontmostOwnsPrimary() ? clipboard.selectionText() : QString();
    if (!isBlank(primary))
        return Result{primary, methodCopy, std::nullopt, std::nullopt};
    // In a terminal Control+C interrupts the running program instead of copying; where no key
    // can be sent, the clipboard is not worth a snapshot nor the modifiers a wait.
    if (!keys.mayType(userAllowsKeys) || platform.workspace->frontmostIsTerminal())
        return std::nullopt;

    const Clipboard::Snapshot saved = clipboard.snapshot();
    const quint64 changeCount = clipboard.changeCount();
    const auto clipboardChanged = [&] { return clipboard.changeCount() != changeCount; };

    // Held modifiers would turn Control+C into another chord; after the wait they are let go.
    waitUntil([&] { return !keys.modifiersHeld(); }, modifierReleaseWait, modifierPollInterval, stop);
    if (stop.stop_requested())
        return std::nullopt;
    std::optional<QString> copied;
    if (keys.sendChord(cKey, KeyFormatter::controlMask)
        && waitUntil(clipboardChanged, copyWait, copyPollInterval, stop))
        copied = clipboard.text();

    // An unchanged clipboard is left alone: a snapshot may lack formats that could not be read.
    if (clipboardChanged())
        clipboard.restore(saved);
    if (!copied || isBlank(*copied))
        return std::nullopt;
    return Result{*copied, methodCopy, std::nullopt, std::nullopt};
}
