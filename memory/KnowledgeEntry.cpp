#include "memory/KnowledgeEntry.h"

#include <QUuid>

QString KnowledgeEntry::newId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}
