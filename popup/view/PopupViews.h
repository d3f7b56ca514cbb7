#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QPointer>
#include <QSize>
#include <QStringList>
#include <QTextCharFormat>

#include "popup/ActionSession.h"
#include "ui/Tint.h"

class ActionOptions;
class ElidedLabel;
class InstructionInput;
class QLabel;
class QPushButton;
class QWidget;
class TextArea;

// The panel's four views, built from what they show; the panel wires them to its session.
namespace PopupViews {

// What the user's clicks and keys ask for.
struct Handlers {
    std::function<void()> close;
    std::function<void(int index)> runAction;
    std::function<void()> optionsChanged; // the menus already wrote into the options
    std::function<void()> recall;
    std::function<void()> replace;
    std::function<void()> copy;
    std::function<void()> collect;
    std::function<void()> favorite;
    std::function<void()> send;
    std::function<void()> mic;
    std::function<void()> inputPressed;
};

struct StatusLine {
    QString text;
    Tint tint = Tint::yellow;
    bool hidden = false;
};

// What the selection part of the actions and conversation views shows.
struct Selection {
    QString header;
    QString text;
    QStringList actionTitles;
    std::optional<QString> optionKey; // the option row of this action
    std::shared_ptr<ActionOptions> options;
    qreal fontScale = 1.0;
};

struct ActionsView {
    Selection selection;
    QString recallText; // empty: no banner
    bool actionsEnabled = true;
    StatusLine status;
    QString result;
    Tint resultTint = Tint::label;
    bool resultButtons = false;
    bool favorite = false;
};

struct ConversationView {
    Selection selection;
    StatusLine status;
    QList<ActionSession::TranscriptEntry> transcript;
    // The area the last answer streamed into, taken from its view (which is dropped next) to be
    // the transcript when what streamed is the answer as kept, so a long answer is not laid out
    // again.
    QPointer<TextArea> streamed;
    bool inputEnabled = true;
    bool favorite = false;
};

// The controls the panel changes after building.
struct Controls {
    QPointer<ElidedLabel> status;
    QPointer<TextArea> result; // where a first answer streams
    QPointer<TextArea> transcript;
    QPointer<InstructionInput> input;
    QPointer<QPushButton> mic;
    QPointer<QPushButton> send;
    QPointer<QPushButton> favorite;
    QPointer<QLabel> voiceHint;
    QList<QPointer<QPushButton>> actions;
};

struct Built {
    QWidget* view = nullptr;
    QSize size;
    Controls controls;
};

inline constexpr int selectionMaxHeight = 96;
inline constexpr int conversationSelectionMaxHeight = 56;
inline constexpr int resultMaxHeight = 300;
inline constexpr int transcriptMinHeight = 40;

Built actions(const ActionsView& state, const Handlers& handlers);
Built conversation(const ConversationView& state, const Handlers& handlers);
Built notice(const QString& header, const QString& body, Tint accent, qreal fontScale);
Built guide(const QString& header, const QString& body, Tint accent, const QStringList& buttons, qreal fontScale,
            std::function<void()> onClose, std::function<void(int index)> onButton);

// Appends the header of an answer ("AI · v2") or an instruction ("You") to a transcript.
void appendTranscriptHeader(TextArea& transcript, ActionSession::TranscriptEntry::Kind kind, int version,
                            qreal fontScale);
// The text format of a transcript entry's body.
QTextCharFormat transcriptBodyFormat(ActionSession::TranscriptEntry::Kind kind, qreal fontScale);
void setFavorite(QPushButton& button, bool on);
void setStatus(ElidedLabel& label, const StatusLine& status);

}
