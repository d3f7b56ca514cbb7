#include "popup/view/PopupViews.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

#include "popup/view/PanelParts.h"
#include "settings/L10n.h"
#include "ui/ElidedLabel.h"
#include "ui/InstructionInput.h"
#include "ui/TextArea.h"
#include "ui/Typography.h"

namespace PopupViews {

namespace {

QPushButton* button(const QString& title, std::function<void()> onClick)
{
    auto* control = new QPushButton(title);
    control->setAccessibleName(title);
    control->setAutoDefault(false);
    if (onClick)
        QObject::connect(control, &QPushButton::clicked, control, std::move(onClick));
    return control;
}

QHBoxLayout* row(QVBoxLayout* parent, int spacing, int height = 0)
{
    auto* holder = new QWidget;
    if (height > 0)
        holder->setMinimumHeight(height);
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    parent->addWidget(holder);
    return layout;
}

TextArea* textArea(const QString& text, qreal pixelSize, qreal fontScale, Tint tint, int maxHeight, const QString& name)
{
    auto* area = new TextArea(Typography::font(pixelSize, fontScale), PanelParts::color(tint), maxHeight);
    area->setAccessibleName(name);
    area->setPlainContent(text);
    return area;
}

ElidedLabel* statusLine(const StatusLine& status, qreal fontScale)
{
    ElidedLabel* label = PanelParts::line(status.text, 11, fontScale, status.tint, status.text);
    label->setObjectName(QStringLiteral("status"));
    label->setVisible(!status.hidden);
    return label;
}

// Headline, selection, the action buttons and the option row: the top of both views.
void addSelection(QVBoxLayout* layout, const Selection& selection, int selectionMaxHeight, const QString& recallText,
                  bool actionsEnabled, const Handlers& handlers, Controls& controls)
{
    layout->addWidget(PanelParts::headline(selection.header, Tint::green, selection.fontScale, handlers.close));
    layout->addWidget(textArea(selection.text, 12, selection.fontScale, Tint::secondaryLabel, selectionMaxHeight,
                               L10n::t("popup.a11y.selection")));
    if (!recallText.isEmpty())
        layout->addWidget(PanelParts::recallBand(recallText, selection.fontScale, handlers.recall));
    QHBoxLayout* buttons = row(layout, 8);
    for (qsizetype i = 0; i < selection.actionTitles.size(); ++i) {
        QPushButton* action = button(selection.actionTitles[i], [run = handlers.runAction, i] { run(int(i)); });
        action->setEnabled(actionsEnabled);
        buttons->addWidget(action);
        controls.actions.append(action);
    }
    buttons->addStretch(1);
    if (selection.optionKey) {
        if (QWidget* options = PanelParts::optionRow(*selection.optionKey, selection.options, selection.fontScale,
                                                     handlers.optionsChanged))
            layout->addWidget(options);
    }
}

void addResultButtons(QVBoxLayout* layout, bool favorite, const Handlers& handlers, Controls& controls)
{
    QHBoxLayout* buttons = row(layout, 6, 28);
    QPushButton* replace = button(L10n::t("popup.btn.replace"), handlers.replace);
    replace->setDefault(true);
    buttons->addWidget(replace);
    buttons->addWidget(button(L10n::t("popup.btn.copy"), handlers.copy));
    buttons->addWidget(button(L10n::t("popup.btn.collect"), handlers.collect));
    controls.favorite = button(QString(), handlers.favorite);
    setFavorite(*controls.favorite, favorite);
    buttons->addWidget(controls.favorite);
    buttons->addStretch(1);
}

QString transcriptTitle(ActionSession::TranscriptEntry::Kind kind, int version)
{
    return kind == ActionSession::TranscriptEntry::Kind::answer
        ? L10n::tf("popup.transcript.aiVersion", {QString::number(version)})
        : L10n::t("popup.transcript.you");
}

QTextCharFormat headerFormat(ActionSession::TranscriptEntry::Kind kind, qreal fontScale)
{
    QTextCharFormat format;
    format.setFont(Typography::font(11, fontScale, QFont::DemiBold));
    format.setForeground(
        PanelParts::color(kind == ActionSession::TranscriptEntry::Kind::answer ? Tint::green : Tint::blue));
    return format;
}

void removeText(QTextCursor& cursor, qsizetype from, qsizetype to)
{
    if (from == to)
        return;
    cursor.setPosition(int(from));
    cursor.setPosition(int(to), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

// The area the last answer streamed into, made the transcript, or nullptr when what streamed is
// not the answer as kept (cleaning took more than whitespace at its ends). A first answer
// streamed without its header, which goes above it.
TextArea* streamedTranscript(const ConversationView& state)
{
    TextArea* area = state.streamed;
    if (!area || state.transcript.isEmpty())
        return nullptr;
    QString whole;
    for (qsizetype i = 0; i < state.transcript.size(); ++i) {
        const ActionSession::TranscriptEntry& entry = state.transcript[i];
        whole += (i > 0 ? QStringLiteral("\n\n") : QString()) + transcriptTitle(entry.kind, entry.version)
            + QLatin1Char('\n') + entry.text;
    }
    const ActionSession::TranscriptEntry& last = state.transcript.last();
    const bool first = state.transcript.size() == 1;
    // Where the answer starts in the area: after the conversation so far and the answer's header.
    const qsizetype start = first ? 0 : whole.size() - last.text.size();
    const QString shown = area->text();
    if (!QStringView(shown).startsWith(QStringView(whole).first(start)))
        return nullptr;
    const QStringView streamed = QStringView(shown).sliced(start);
    const QStringView answer = streamed.trimmed();
    if (answer != last.text)
        return nullptr;
    QTextCursor cursor(area->document());
    const qsizetype lead = answer.data() - streamed.data();
    removeText(cursor, start + lead + answer.size(), shown.size());
    removeText(cursor, start, start + lead);
    if (first) {
        cursor.setPosition(0);
        cursor.insertText(transcriptTitle(last.kind, last.version) + QLatin1Char('\n'),
                          headerFormat(last.kind, state.selection.fontScale));
    }
    area->setMinHeight(transcriptMinHeight);
    return area;
}

Built finish(QWidget* view, Controls controls)
{
    return {view, QSize(PanelParts::panelWidth, PanelParts::fitView(view)), std::move(controls)};
}

}

Built actions(const ActionsView& state, const Handlers& handlers)
{
    QWidget* view = nullptr;
    QVBoxLayout* layout = PanelParts::newView(view);
    Controls controls;
    const qreal scale = state.selection.fontScale;
    addSelection(layout, state.selection, selectionMaxHeight, state.recallText, state.actionsEnabled, handlers,
                 controls);
    controls.status = statusLine(state.status, scale);
    layout->addWidget(controls.status);
    controls.result =
        textArea(state.result, 13, scale, state.resultTint, resultMaxHeight, L10n::t("popup.a11y.result"));
    layout->addWidget(controls.result);
    if (state.resultButtons) {
        addResultButtons(layout, state.favorite, handlers, controls);
        layout->addWidget(PanelParts::hint(L10n::t("popup.hint.replaceExplain"), scale));
    } else {
        layout->addWidget(PanelParts::hint(L10n::t("popup.hint.drag"), scale));
    }
    return finish(view, std::move(controls));
}

Built conversation(const ConversationView& state, const Handlers& handlers)
{
    QWidget* view = nullptr;
    QVBoxLayout* layout = PanelParts::newView(view);
    Controls controls;
    const qreal scale = state.selection.fontScale;
    addSelection(layout, state.selection, conversationSelectionMaxHeight, {}, state.inputEnabled, handlers, controls);
    controls.status = statusLine(state.status, scale);
    layout->addWidget(controls.status);

    controls.transcript = streamedTranscript(state);
    if (!controls.transcript) {
        controls.transcript = new TextArea(Typography::font(13, scale), PanelParts::color(Tint::label), resultMaxHeight,
                                           transcriptMinHeight);
        for (qsizetype i = 0; i < state.transcript.size(); ++i) {
            const ActionSession::TranscriptEntry& entry = state.transcript[i];
            if (i > 0)
                controls.transcript->appendFragment(QStringLiteral("\n\n"), transcriptBodyFormat(entry.kind, scale));
            appendTranscriptHeader(*controls.transcript, entry.kind, entry.version, scale);
            controls.transcript->appendFragment(entry.text, transcriptBodyFormat(entry.kind, scale));
        }
    }
    controls.transcript->setAccessibleName(L10n::t("popup.a11y.transcript"));
    controls.transcript->fitHeight();
    layout->addWidget(controls.transcript);
    addResultButtons(layout, state.favorite, handlers, controls);

    QHBoxLayout* inputRow = row(layout, 6);
    controls.input = new InstructionInput;
    const QString placeholder = L10n::t("popup.input.placeholder");
    controls.input->setPlaceholderText(placeholder);
    QPalette palette = controls.input->palette();
    palette.setColor(QPalette::PlaceholderText, PanelParts::color(Tint::tertiaryLabel));
    controls.input->setPalette(palette);
    controls.input->setAccessibleName(placeholder);
    controls.input->setFont(Typography::font(12, scale));
    controls.input->setFixedHeight(qRound(InstructionInput::heightFor(scale)));
    controls.input->setStyleSheet(QStringLiteral("InstructionInput { border: 1px solid %1; border-radius: 8px; }")
                                      .arg(PanelParts::color(Tint::tertiaryLabel).name(QColor::HexArgb)));
    controls.input->setEnabled(state.inputEnabled);
    QObject::connect(controls.input, &InstructionInput::submitted, controls.input, handlers.send);
    QObject::connect(controls.input, &InstructionInput::pressed, controls.input, handlers.inputPressed);
    inputRow->addWidget(controls.input, 1);
    controls.mic = button(L10n::t("popup.mic.idle"), handlers.mic);
    controls.mic->setAccessibleName(L10n::t("popup.mic.name"));
    controls.mic->setEnabled(state.inputEnabled);
    inputRow->addWidget(controls.mic);
    controls.send = button(L10n::t("popup.btn.send"), handlers.send);
    controls.send->setEnabled(state.inputEnabled);
    inputRow->addWidget(controls.send);

    controls.voiceHint = PanelParts::hint(QString(), scale);
    controls.voiceHint->hide();
    layout->addWidget(controls.voiceHint);
    layout->addWidget(PanelParts::hint(L10n::t("popup.hint.conversation"), scale));
    Built built = finish(view, std::move(controls));
    built.controls.transcript->scrollToEnd();
    return built;
}

Built notice(const QString& header, const QString& body, Tint accent, qreal fontScale)
{
    QWidget* view = nullptr;
    QVBoxLayout* layout = PanelParts::newView(view);
    layout->addWidget(PanelParts::headline(header, accent, fontScale, nullptr));
    layout->addWidget(textArea(body, 13, fontScale, Tint::label, 260, L10n::t("popup.a11y.message")));
    layout->addWidget(PanelParts::hint(L10n::t("popup.hint.message"), fontScale));
    return finish(view, {});
}

Built guide(const QString& header, const QString& body, Tint accent, const QStringList& buttons, qreal fontScale,
            std::function<void()> onClose, std::function<void(int index)> onButton)
{
    QWidget* view = nullptr;
    QVBoxLayout* layout = PanelParts::newView(view);
    layout->addWidget(PanelParts::headline(header, accent, fontScale, std::move(onClose)));
    layout->addWidget(textArea(body, 13, fontScale, Tint::label, 280, L10n::t("popup.a11y.message")));
    QHBoxLayout* buttonRow = row(layout, 8, 28);
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        QPushButton* control = button(buttons[i], [onButton, i] { onButton(int(i)); });
        control->setDefault(i == 0);
        buttonRow->addWidget(control);
    }
    buttonRow->addStretch(1);
    layout->addWidget(PanelParts::hint(L10n::t("auth.hint"), fontScale));
    return finish(view, {});
}

void appendTranscriptHeader(TextArea& transcript, ActionSession::TranscriptEntry::Kind kind, int version,
                            qreal fontScale)
{
    transcript.appendFragment(transcriptTitle(kind, version) + QLatin1Char('\n'), headerFormat(kind, fontScale));
}

QTextCharFormat transcriptBodyFormat(ActionSession::TranscriptEntry::Kind kind, qreal fontScale)
{
    QTextCharFormat format;
    format.setFont(Typography::font(13, fontScale));
    format.setForeground(
        PanelParts::color(kind == ActionSession::TranscriptEntry::Kind::answer ? Tint::label : Tint::secondaryLabel));
    return format;
}

void setFavorite(QPushButton& button, bool on)
{
    button.setText(L10n::t(on ? "popup.btn.fav.on" : "popup.btn.fav.off"));
    button.setAccessibleName(button.text());
    QPalette palette = button.palette();
    palette.setColor(QPalette::ButtonText,
                     on ? PanelParts::color(Tint::yellow) : QApplication::palette().color(QPalette::ButtonText));
    button.setPalette(palette);
}

void setStatus(ElidedLabel& label, const StatusLine& status)
{
    label.setText(status.text);
    label.setAccessibleName(status.text);
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, PanelParts::color(status.tint));
    label.setPalette(palette);
    label.setVisible(!status.hidden);
}

}
