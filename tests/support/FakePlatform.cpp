#include "tests/support/FakePlatform.h"

bool FakeHotKeys::grab(quint32 keyCode, quint32 modifiers, quint32 id)
{
    const Combination combination{keyCode, modifiers};
    if (takenByOthers.contains(combination) || m_grabbed.contains(combination))
        return false;
    m_grabbed.insert(combination, id);
    return true;
}

void FakeHotKeys::ungrab(quint32 keyCode, quint32 modifiers)
{
    m_grabbed.remove({keyCode, modifiers});
}

void FakeHotKeys::press(quint32 keyCode, quint32 modifiers)
{
    const auto it = m_grabbed.constFind({keyCode, modifiers});
    if (it != m_grabbed.constEnd() && m_handler)
        m_handler(*it);
}

bool FakeKeys::modifiersHeld()
{
    return modifierPolls++ < heldModifierPolls;
}

bool FakeKeys::sendChord(quint32 keyCode, quint32 modifiers)
{
    chords.append({keyCode, modifiers});
    if (onChord)
        onChord(keyCode, modifiers);
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
    for (const Format& format : formats) {
        if (format.type == QStringLiteral("text/plain"))
            return QString::fromUtf8(format.data);
    }
    return std::nullopt;
}

void FakeClipboard::setText(const QString& text)
{
    copyFromApplication({{QStringLiteral("text/plain"), text.toUtf8()}});
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
    Platform::install({hotKeys, keys, clipboard, accessibility, workspace});
}

FakePlatform::~FakePlatform()
{
    Platform::install({});
}
