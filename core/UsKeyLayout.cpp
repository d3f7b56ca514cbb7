#include "core/UsKeyLayout.h"

#include <QHash>

QString UsKeyLayout::characterFor(quint32 keyCode) const
{
    static const QHash<quint32, char> characters = {
        {0, 'a'},  {1, 's'},   {2, 'd'},     {3, 'f'},  {4, 'h'},  {5, 'g'},  {6, 'z'},   {7, 'x'},
        {8, 'c'},  {9, 'v'},   {10, '\xA7'}, {11, 'b'}, {12, 'q'}, {13, 'w'}, {14, 'e'},  {15, 'r'},
        {16, 'y'}, {17, 't'},  {18, '1'},    {19, '2'}, {20, '3'}, {21, '4'}, {22, '6'},  {23, '5'},
        {24, '='}, {25, '9'},  {26, '7'},    {27, '-'}, {28, '8'}, {29, '0'}, {30, ']'},  {31, 'o'},
        {32, 'u'}, {33, '['},  {34, 'i'},    {35, 'p'}, {37, 'l'}, {38, 'j'}, {39, '\''}, {40, 'k'},
        {41, ';'}, {42, '\\'}, {43, ','},    {44, '/'}, {45, 'n'}, {46, 'm'}, {47, '.'},  {50, '`'},
    };
    const auto it = characters.constFind(keyCode);
    if (it == characters.constEnd())
        return {};
    return QString(QChar::fromLatin1(*it));
}
