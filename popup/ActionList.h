#pragma once

#include <optional>

#include <QList>
#include <QString>

class ActionOptions;
struct AppSettings;

// One offered action: its button caption, its key, the two texts of its run and its engine.
struct PopupAction {
    QString title; // localised, with the engine suffix in compare mode
    QString actionKey;
    QString systemPrompt; // the profile preamble included
    QString initialUserPrompt;
    bool useLocal = true; // the local engine, else the cloud engine

    bool operator==(const PopupAction&) const = default;
};

// Where the text of a popup came from.
enum class SourceKind { selection, ocr };

// Whether an action runs on the local engine by the settings outside compare mode.
bool usesLocalEngine(const AppSettings& settings, const QString& actionKey);

// The actions offered for a text, from the current settings and stored profile: explain,
// translate and rewrite each on its configured engine, or in compare mode the three on the local
// engine and rewrite once more on the cloud; Translate first for foreign text. `before` and
// `after` are the context, already dropped by the caller when it is switched off.
QList<PopupAction> buildActions(const QString& selectedText, const ActionOptions& options,
                                const std::optional<QString>& before, const std::optional<QString>& after);
