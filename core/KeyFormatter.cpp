#include "core/KeyFormatter.h"

#include <atomic>
#include <mutex>
#include <utility>

#include <QHash>

#include "core/UsKeyLayout.h"

namespace {

std::mutex layoutMutex;
std::shared_ptr<const KeyLayout> currentLayout = std::make_shared<UsKeyLayout>();

std::shared_ptr<const KeyLayout> layout()
{
    std::lock_guard lock(layoutMutex);
    return currentLayout;
}

QString englishWordName(KeyFormatter::WordKey key)
{
    switch (key) {
    case KeyFormatter::WordKey::enter: return QStringLiteral("Return");
    case KeyFormatter::WordKey::space: return QStringLiteral("Space");
    case KeyFormatter::WordKey::backspace: return QStringLiteral("Backspace");
    }
    return {};
}

std::atomic<KeyFormatter::WordNames> wordNames = &englishWordName;

const QHash<quint32, KeyFormatter::WordKey>& wordKeys()
{
    static const QHash<quint32, KeyFormatter::WordKey> table = {
        {36, KeyFormatter::WordKey::enter},
        {76, KeyFormatter::WordKey::enter},
        {49, KeyFormatter::WordKey::space},
        {51, KeyFormatter::WordKey::backspace},
    };
    return table;
}

const QHash<quint32, QString>& functionKeys()
{
    static const QHash<quint32, QString> table = {
        {122, QStringLiteral("F1")},  {120, QStringLiteral("F2")},  {99, QStringLiteral("F3")},
        {118, QStringLiteral("F4")},  {96, QStringLiteral("F5")},   {97, QStringLiteral("F6")},
        {98, QStringLiteral("F7")},   {100, QStringLiteral("F8")},  {101, QStringLiteral("F9")},
        {109, QStringLiteral("F10")}, {103, QStringLiteral("F11")}, {111, QStringLiteral("F12")},
    };
    return table;
}

const QHash<quint32, QString>& specialKeys()
{
    static const QHash<quint32, QString> table = {
        {48, QStringLiteral("Tab")},     {117, QStringLiteral("Delete")}, {53, QStringLiteral("Esc")},
        {115, QStringLiteral("Home")},   {119, QStringLiteral("End")},    {116, QStringLiteral("PageUp")},
        {121, QStringLiteral("PageDn")}, {123, QStringLiteral("←")},      {124, QStringLiteral("→")},
        {125, QStringLiteral("↓")},      {126, QStringLiteral("↑")},
    };
    return table;
}

}

QString KeyFormatter::format(quint32 keyCode, quint32 carbonModifiers)
{
    return (modifierNames(carbonModifiers) << displayChar(keyCode)).join(QLatin1Char('+'));
}

QStringList KeyFormatter::modifierNames(quint32 carbonModifiers)
{
    // The desktops' own order and words; they keep them in Chinese too.
    static constexpr std::pair<quint32, const char*> order[] = {
        {controlMask, "Ctrl"}, {optionMask, "Alt"}, {shiftMask, "Shift"}, {commandMask, "Super"}};
    QStringList names;
    for (const auto& [mask, name] : order)
        if (carbonModifiers & mask)
            names << QLatin1String(name);
    return names;
}

QString KeyFormatter::displayChar(quint32 keyCode)
{
    if (auto it = functionKeys().constFind(keyCode); it != functionKeys().constEnd())
        return *it;
    if (auto it = wordKeys().constFind(keyCode); it != wordKeys().constEnd())
        return wordNames.load()(*it);
    if (auto it = specialKeys().constFind(keyCode); it != specialKeys().constEnd())
        return *it;
    const QString produced = layout()->characterFor(keyCode).trimmed();
    return produced.isEmpty() ? QStringLiteral("?") : produced.toUpper();
}

bool KeyFormatter::isFunctionKey(quint32 keyCode)
{
    return functionKeys().contains(keyCode);
}

bool KeyFormatter::hasRequiredModifier(quint32 carbonModifiers)
{
    return (carbonModifiers & (commandMask | optionMask | controlMask)) != 0;
}

quint32 KeyFormatter::carbonModifiers(Qt::KeyboardModifiers modifiers)
{
    quint32 mask = 0;
    if (modifiers & Qt::MetaModifier)
        mask |= commandMask;
    if (modifiers & Qt::AltModifier)
        mask |= optionMask;
    if (modifiers & Qt::ControlModifier)
        mask |= controlMask;
    if (modifiers & Qt::ShiftModifier)
        mask |= shiftMask;
    return mask;
}

void KeyFormatter::setLayout(std::shared_ptr<const KeyLayout> layout)
{
    std::lock_guard lock(layoutMutex);
    currentLayout = layout ? std::move(layout) : std::make_shared<UsKeyLayout>();
}

void KeyFormatter::setWordNames(WordNames names)
{
    wordNames.store(names ? names : &englishWordName);
}
