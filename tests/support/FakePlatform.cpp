#include "tests/support/FakePlatform.h"

bool FakeHotKeys::grab(quint32 keyCode, quint32 modifiers, quint32 id)
{
    const QPair<quint32, quint32> combination{keyCode, modifiers};
    if (m_takenByOthers.contains(combination) || m_grabbed.contains(combination))
        return false;
    m_grabbed.insert(combination, id);
    return true;
}

void FakeHotKeys::press(Shortcut shortcut)
{
    const auto it = m_grabbed.constFind({shortcut.keyCode, shortcut.modifiers});
    if (it != m_grabbed.constEnd() && m_handler)
        m_handler(*it);
}

bool FakeKeys::sendChord(quint32 keyCode, quint32 modifiers)
{
    chords.append({keyCode, modifiers});
    if (onChord)
        onChord({keyCode, modifiers});
    return true;
}

void FakeClipboard::restore(const Snapshot& snapshot)
{
    formats = snapshot;
    ++changes;
    ++restores;
}

std::optional<QString> FakeClipboard::text()
{
    for (const Format& format : std::as_const(formats)) {
        if (format.type == QStringLiteral("text/plain"))
            return QString::fromUtf8(format.data);
    }
    return std::nullopt;
}

void FakeClipboard::copyFromApplication(const Snapshot& newFormats)
{
    formats = newFormats;
    ++changes;
}

std::optional<QString> FakeAccessibility::value(qsizetype maxLength)
{
    if (fullText && fullText->size() > maxLength)
        return std::nullopt;
    return fullText;
}

FakePlatform::FakePlatform()
{
    Platform::install(services());
}
