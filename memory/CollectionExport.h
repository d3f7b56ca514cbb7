#pragma once

#include <QList>
#include <QString>

#include "memory/KnowledgeEntry.h"

// The prompts that ask a model to group the collected snippets by theme and summarise each
// group without inventing anything.
namespace CollectionExport {

QString systemPrompt(bool english);

// The request line, a blank line, then one numbered item per entry in the given order:
// "1. [<source label> · <app> · <date>] <text>", labels and app only when not blank.
QString userPrompt(const QList<KnowledgeEntry>& entries, bool english);

}
