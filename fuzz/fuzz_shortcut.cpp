#include "core/KeyFormatter.h"
#include "fuzz/FuzzCheck.h"

// A stored shortcut as config.json may hold it, any key code with any modifier bits: its text is
// never empty, the same every time, and blind to bits that are no modifier; the modifier rule
// looks at Command, Option and Control alone; a Qt modifier set maps onto those bits and back.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const quint32 keyCode = input.number(4);
    const quint32 modifiers = input.number(4);
    const Qt::KeyboardModifiers qtModifiers = Qt::KeyboardModifiers::fromInt(int(input.number(4)));
    constexpr quint32 known =
        KeyFormatter::commandMask | KeyFormatter::shiftMask | KeyFormatter::optionMask | KeyFormatter::controlMask;

    const QString text = KeyFormatter::format(keyCode, modifiers);
    FUZZ_CHECK(!text.isEmpty() && !KeyFormatter::displayChar(keyCode).isEmpty());
    FUZZ_CHECK(text == KeyFormatter::format(Shortcut{keyCode, modifiers & known}));
    FUZZ_CHECK(
        KeyFormatter::hasRequiredModifier(modifiers)
        == ((modifiers & (KeyFormatter::commandMask | KeyFormatter::optionMask | KeyFormatter::controlMask)) != 0));

    const quint32 carbon = KeyFormatter::carbonModifiers(qtModifiers);
    FUZZ_CHECK((carbon & ~known) == 0);
    FUZZ_CHECK(((carbon & KeyFormatter::shiftMask) != 0) == qtModifiers.testFlag(Qt::ShiftModifier));
    FUZZ_CHECK(((carbon & KeyFormatter::controlMask) != 0) == qtModifiers.testFlag(Qt::ControlModifier));
    FUZZ_CHECK(((carbon & KeyFormatter::optionMask) != 0) == qtModifiers.testFlag(Qt::AltModifier));
    FUZZ_CHECK(((carbon & KeyFormatter::commandMask) != 0) == qtModifiers.testFlag(Qt::MetaModifier));
    return 0;
}
