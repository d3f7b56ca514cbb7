#include "platform/KeyPositions.h"

#include <QHash>

namespace {

constexpr quint32 x(quint32 evdev)
{
    return evdev + 8;
}

const QHash<quint32, quint32>& table()
{
    static const QHash<quint32, quint32> positions = {
        // letters
        {0, x(30)},
        {1, x(31)},
        {2, x(32)},
        {3, x(33)},
        {4, x(35)},
        {5, x(34)},
        {6, x(44)},
        {7, x(45)},
        {8, x(46)},
        {9, x(47)},
        {11, x(48)},
        {12, x(16)},
        {13, x(17)},
        {14, x(18)},
        {15, x(19)},
        {16, x(21)},
        {17, x(20)},
        {31, x(24)},
        {32, x(22)},
        {34, x(23)},
        {35, x(25)},
        {37, x(38)},
        {38, x(36)},
        {40, x(37)},
        {45, x(49)},
        {46, x(50)},
        // digits
        {18, x(2)},
        {19, x(3)},
        {20, x(4)},
        {21, x(5)},
        {22, x(7)},
        {23, x(6)},
        {25, x(10)},
        {26, x(8)},
        {28, x(9)},
        {29, x(11)},
        // punctuation
        {24, x(13)},
        {27, x(12)},
        {30, x(27)},
        {33, x(26)},
        {39, x(40)},
        {41, x(39)},
        {42, x(43)},
        {43, x(51)},
        {44, x(53)},
        {47, x(52)},
        {50, x(41)},
        {10, x(86)},
        // editing
        {36, x(28)},
        {48, x(15)},
        {49, x(57)},
        {51, x(14)},
        {53, x(1)},
        {117, x(111)},
        {76, x(96)},
        // function keys
        {122, x(59)},
        {120, x(60)},
        {99, x(61)},
        {118, x(62)},
        {96, x(63)},
        {97, x(64)},
        {98, x(65)},
        {100, x(66)},
        {101, x(67)},
        {109, x(68)},
        {103, x(87)},
        {111, x(88)},
        // navigation
        {123, x(105)},
        {124, x(106)},
        {125, x(108)},
        {126, x(103)},
        {115, x(102)},
        {119, x(107)},
        {116, x(104)},
        {121, x(109)},
    };
    return positions;
}

}

namespace KeyPositions {

quint32 scanCode(quint32 storedKeyCode)
{
    return table().value(storedKeyCode, 0);
}

std::optional<quint32> storedKeyCode(quint32 scanCode)
{
    const QList<quint32> codes = table().keys(scanCode);
    if (scanCode == 0 || codes.isEmpty())
        return std::nullopt;
    return codes.first();
}

}
