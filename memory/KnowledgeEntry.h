#pragma once

#include <memory>

#include <QDateTime>
#include <QString>

// One remembered lookup (an action run with its answer) or one collected snippet (text the
// user saved without an answer). Both kinds share the knowledge base, told apart by isCollected.
struct KnowledgeEntry {
    QString id;     // upper-case UUID text
    QString action; // the action key ("解释", "翻译", "改写"), or collectionAction
    QString sourceText;
    QString resultText; // empty for a collected snippet
    QString note;       // a snippet's source label ("划词" / "截图")
    QString appName;
    bool favorite = false;
    bool isCollected = false;
    QString category; // carried, searched and exported; nothing fills it yet
    QDateTime createdAt;
    QDateTime updatedAt;

    // The action label of a collected snippet.
    static inline const QString collectionAction = QStringLiteral("收藏");

    // A fresh id in the standard upper-case form.
    static QString newId();

    bool operator==(const KnowledgeEntry&) const = default;
};

// An entry as the store holds it, shared by whoever lists it instead of copied.
using SharedEntry = std::shared_ptr<const KnowledgeEntry>;
