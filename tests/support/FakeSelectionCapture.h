#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

#include "capture/SelectionCaptureService.h"

// A capture service that answers when the test says so: captures wait until deliver().
class FakeSelectionCapture final : public SelectionCaptureService {
public:
    void capture(QObject* context, Done done) override { m_waiting.append({context, std::move(done)}); }
    void cancel() override { m_waiting.clear(); }

    qsizetype waiting() const { return m_waiting.size(); }
    // Answers every waiting capture whose context is still there.
    void deliver(const std::optional<SelectionCapture::Result>& result)
    {
        for (const auto& [context, done] : std::exchange(m_waiting, {})) {
            if (context)
                done(result);
        }
    }

private:
    QList<QPair<QPointer<QObject>, Done>> m_waiting;
};
