#pragma once

#include <QString>

#include "memory/KnowledgeStore.h"

// The texts the popup shows for a recall hit, in the interface language.
namespace RecallBanner {

// "📌 You looked this up (3×) · …" and its three siblings, by kind of hit and whether the
// remembered entry has a note (trimmed, and cut to 30 characters and "…" when longer).
QString text(const KnowledgeStore::RecallHit& hit);

// The remembered answer as shown after a click: the answer, and the entry's note after a blank
// line when it has one.
QString rememberedAnswer(const KnowledgeEntry& entry);

// The status line above it: when the entry was last updated (local time) and its action.
QString memoryStatus(const KnowledgeEntry& entry);

}
