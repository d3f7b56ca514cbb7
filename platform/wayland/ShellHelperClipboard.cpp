#include "platform/wayland/ShellHelperClipboard.h"

#include "platform/wayland/ShellHelper.h"

namespace {

// As long as an application that owns the selection may take to hand it over elsewhere.
constexpr int primaryWaitMs = 800;

}

ShellHelperClipboard::ShellHelperClipboard(std::shared_ptr<Clipboard> underneath)
    : m_underneath(std::move(underneath))
{
}

Clipboard::Snapshot ShellHelperClipboard::snapshot()
{
    return m_underneath ? m_underneath->snapshot() : Snapshot();
}

void ShellHelperClipboard::restore(const Snapshot& snapshot)
{
    if (m_underneath)
        m_underneath->restore(snapshot);
}

quint64 ShellHelperClipboard::changeCount()
{
    return m_underneath ? m_underneath->changeCount() : 0;
}

std::optional<QString> ShellHelperClipboard::text()
{
    return m_underneath ? m_underneath->text() : std::nullopt;
}

void ShellHelperClipboard::setText(const QString& text)
{
    if (m_underneath)
        m_underneath->setText(text);
}

QString ShellHelperClipboard::selectionText()
{
    if (const std::optional<QString> text = ShellHelper::primary(primaryWaitMs))
        return *text;
    return m_underneath ? m_underneath->selectionText() : QString();
}
