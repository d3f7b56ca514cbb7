#include "capture/SelectionCapture.h"

#include <chrono>
#include <mutex>
#include <thread>

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

#include "core/KeyFormatter.h"
#include "platform/PlatformServices.h"

namespace {

using namespace std::chrono_literals;

constexpr auto modifierReleaseWait = 600ms;
constexpr auto modifierPollInterval = 10ms;
constexpr auto copyWait = 800ms;
constexpr auto copyPollInterval = 15ms;
constexpr auto pasteDelay = 40ms;
constexpr quint32 cKey = 8;
constexpr quint32 vKey = 9;

bool isBlank(const QString& text)
{
    return text.trimmed().isEmpty();
}

// Polls until the condition holds; false when the time ran out first.
template<typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds limit, std::chrono::milliseconds interval)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(interval);
    }
    return true;
}

}

void SelectionCapture::capture(QObject* context, std::function<void(std::optional<Result>)> done)
{
    if (std::optional<Result> result = captureViaAX()) {
        done(std::move(result));
        return;
    }
    QThreadPool::globalInstance()->start([context = QPointer<QObject>(context), done = std::move(done)] {
        std::optional<Result> result = captureViaCopy();
        QMetaObject::invokeMethod(QCoreApplication::instance(), [context, done, result] {
            if (context)
                done(result);
        }, Qt::QueuedConnection);
    });
}

std::optional<SelectionCapture::Result> SelectionCapture::captureViaAX()
{
    const std::shared_ptr<Accessibility> accessibility = Platform::services().accessibility;
    if (!accessibility)
        return std::nullopt;
    const std::optional<QString> selected = accessibility->selectedText();
    if (!selected || isBlank(*selected))
        return std::nullopt;

    Result result{*selected, methodAX, std::nullopt, std::nullopt};
    const std::optional<QString> value = accessibility->value(maxContextSourceLength);
    if (!value || value->isEmpty())
        return result;
    const std::optional<Accessibility::Range> range = accessibility->selectedRange();
    if (!range || range->location < 0 || range->length < 0)
        return result;
    const std::optional<Context> context = contextWindow(*value, range->location, range->length, *selected);
    if (context && !(context->before.isEmpty() && context->after.isEmpty())) {
        result.contextBefore = context->before;
        result.contextAfter = context->after;
    }
    return result;
}

std::optional<SelectionCapture::Result> SelectionCapture::captureViaCopy()
{
    // Two copies at once would snapshot each other's intermediate clipboard.
    static std::mutex copyMutex;
    std::lock_guard lock(copyMutex);

    const PlatformServices services = Platform::services();
    if (!services.clipboard)
        return std::nullopt;
    const QString primary = services.clipboard->selectionText();
    if (!isBlank(primary))
        return Result{primary, methodCopy, std::nullopt, std::nullopt};
    // In a terminal Control+C interrupts the running program instead of copying.
    if (!services.keys || (services.workspace && services.workspace->frontmostIsTerminal()))
        return std::nullopt;

    const Clipboard::Snapshot saved = services.clipboard->snapshot();
    const quint64 changeCount = services.clipboard->changeCount();
    const auto clipboardChanged = [&] { return services.clipboard->changeCount() != changeCount; };

    // Held modifiers would turn Control+C into another chord; after the wait they are let go.
    waitUntil([&] { return !services.keys->modifiersHeld(); }, modifierReleaseWait, modifierPollInterval);
    std::optional<QString> copied;
    if (services.keys->sendChord(cKey, KeyFormatter::controlMask) && waitUntil(clipboardChanged, copyWait, copyPollInterval))
        copied = services.clipboard->text();

    // An unchanged clipboard is left alone: a snapshot may lack formats that could not be read.
    if (clipboardChanged())
        services.clipboard->restore(saved);
    if (!copied || isBlank(*copied))
        return std::nullopt;
    return Result{*copied, methodCopy, std::nullopt, std::nullopt};
}

bool SelectionCapture::replace(const QString& with)
{
    const std::shared_ptr<Accessibility> accessibility = Platform::services().accessibility;
    return accessibility && accessibility->setSelectedText(with);
}

void SelectionCapture::pasteFallback()
{
    std::this_thread::sleep_for(pasteDelay);
    if (const std::shared_ptr<SyntheticKeys> keys = Platform::services().keys)
        keys->sendChord(vKey, KeyFormatter::controlMask);
}
