#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

#include "capture/SelectionCaptureService.h"

// A capture service that answers when the test says so: captures wait until deliver().
class FakeSelectionCapture final : public SelectionCaptureService {
public:
    void capture(QObject* context, Done done) override { waiting.append({context, std::move(done)}); }
    void cancel() override { waiting.clear(); }

    // Answers every waiting capture whose context is still there.
    void deliver(const std::optional<SelectionCapture::Result>& result)
    {
        for (const auto& [context, done] : std::exchange(waiting, {})) {
            if (context)
                done(result);
        }
    }

    QList<QPair<QPointer<QObject>, Done>> waiting;
};
