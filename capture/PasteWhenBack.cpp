#include "capture/PasteWhenBack.h"

#include <QPointer>

#include "capture/PutBack.h"
#include "core/KeyFormatter.h"

PasteWhenBack::PasteWhenBack(QObject* parent)
    : QObject(parent)
{
    m_look.setInterval(lookEvery);
    connect(&m_look, &QTimer::timeout, this, &PasteWhenBack::look);
}

void PasteWhenBack::start(PlatformServices platform, qint64 targetPid, Done done)
{
    cancel();
    m_platform = std::move(platform);
    m_target = targetPid;
    m_done = std::move(done);
    const int generation = m_generation;
    m_platform.keys->prepare(true, [self = QPointer(this), generation](bool ready) {
        if (!self || self->m_generation != generation || !self->m_done)
            return;
        if (!ready)
            return self->finish(false);
        // The time counts from here: the desktop's question may have taken the user a while.
        self->m_deadline = std::chrono::steady_clock::now() + backWithin;
        self->m_look.start();
        self->look();
    });
}

void PasteWhenBack::cancel()
{
    ++m_generation;
    m_look.stop();
    m_done = {};
}

void PasteWhenBack::look()
{
    if (!m_done)
        return;
    if (m_platform.workspace->frontmostProcessId() == m_target)
        return finish(m_platform.keys->sendChord(PutBack::vKey, KeyFormatter::controlMask));
    if (std::chrono::steady_clock::now() >= m_deadline)
        finish(false);
}

void PasteWhenBack::finish(bool pasted)
{
    m_look.stop();
    ++m_generation;
    const Done done = std::exchange(m_done, {});
    done(pasted);
}
