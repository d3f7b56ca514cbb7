#include "windows/KnowledgeDetail.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "settings/L10n.h"
#include "ui/Tint.h"
#include "ui/Typography.h"
#include "windows/KnowledgeListModel.h"

namespace {

constexpr int flashMs = 1400;

QPushButton* button(const char* key, const char* accessibleName, QWidget* parent)
{
    auto* button = new QPushButton(L10n::t(key), parent);
    button->setAccessibleName(QString::fromLatin1(accessibleName));
    return button;
}

}

KnowledgeDetail::KnowledgeDetail(QWidget* parent)
    : QWidget(parent)
    , m_editors(new QWidget(this))
    , m_hint(new QLabel(this))
    , m_flashEnd(new QTimer(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_editors);
    layout->addWidget(m_hint);

    m_hint->setAccessibleName(QStringLiteral("knowledge-hint"));
    m_hint->setAlignment(Qt::AlignCenter);
    m_hint->setWordWrap(true);
    m_hint->setFont(Typography::font(13, 1.0));
    m_hint->setContentsMargins(24, 0, 24, 0);
    QPalette hintPalette = m_hint->palette();
    hintPalette.setColor(QPalette::WindowText, Tints::color(Tint::secondaryLabel, Tints::isDark(palette())));
    m_hint->setPalette(hintPalette);

    auto* editors = new QVBoxLayout(m_editors);
    editors->setContentsMargins(14, 10, 14, 10);
    editors->setSpacing(4);
    m_source = addEditor("kw.field.source", "knowledge-source", 3);
    m_result = addEditor("kw.field.result", "knowledge-result", 4);
    m_note = addEditor("kw.field.note", "knowledge-note", 2);

    m_favorite = new QCheckBox(L10n::t("kw.fav.checkbox"), m_editors);
    m_favorite->setAccessibleName(QStringLiteral("knowledge-favorite"));
    editors->addWidget(m_favorite);
    m_meta = new QLabel(m_editors);
    m_meta->setAccessibleName(QStringLiteral("knowledge-meta"));
    m_meta->setFont(Typography::font(11, 1.0));
    editors->addWidget(m_meta);

    auto* buttons = new QHBoxLayout;
    QPushButton* save = button("kw.btn.saveEdits", "knowledge-save", m_editors);
    QPushButton* copy = button("kw.btn.copyResult", "knowledge-copy-result", m_editors);
    QPushButton* remove = button("kw.btn.delete", "knowledge-delete", m_editors);
    buttons->addWidget(save);
    buttons->addWidget(copy);
    buttons->addStretch();
    buttons->addWidget(remove);
    editors->addLayout(buttons);

    connect(save, &QPushButton::clicked, this, &KnowledgeDetail::saveRequested);
    connect(copy, &QPushButton::clicked, this, &KnowledgeDetail::copyRequested);
    connect(remove, &QPushButton::clicked, this, &KnowledgeDetail::deleteRequested);
    connect(m_favorite, &QCheckBox::clicked, this, &KnowledgeDetail::favoriteToggled);

    m_flashEnd->setSingleShot(true);
    m_flashEnd->setInterval(flashMs);
    connect(m_flashEnd, &QTimer::timeout, this,
            [this] { setMeta(m_metaText, Tints::color(Tint::secondaryLabel, Tints::isDark(palette()))); });
    showHint({});
}

QPlainTextEdit* KnowledgeDetail::addEditor(const char* titleKey, const char* accessibleName, int stretch)
{
    auto* title = new QLabel(L10n::t(titleKey), m_editors);
    title->setFont(Typography::font(11, 1.0, QFont::Medium));
    auto* editor = new QPlainTextEdit(m_editors);
    editor->setAccessibleName(QString::fromLatin1(accessibleName));
    editor->setFont(Typography::font(13, 1.0));
    editor->installEventFilter(this);
    auto* layout = static_cast<QVBoxLayout*>(m_editors->layout());
    layout->addWidget(title);
    layout->addWidget(editor, stretch);
    return editor;
}

bool KnowledgeDetail::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut && (watched == m_source || watched == m_result || watched == m_note))
        Q_EMIT editingFinished();
    return QWidget::eventFilter(watched, event);
}

void KnowledgeDetail::showEntry(const KnowledgeEntry& entry)
{
    // An editor is refilled for another entry, or when the store's text changed since it was
    // filled; otherwise it keeps its cursor, and text whose write failed stays in it.
    const bool other = !m_shown || m_shown->id != entry.id;
    const auto refill = [other](QPlainTextEdit* editor, const QString& before, const QString& now) {
        if ((other || before != now) && editor->toPlainText() != now)
            editor->setPlainText(now);
    };
    refill(m_source, other ? QString() : m_shown->sourceText, entry.sourceText);
    refill(m_result, other ? QString() : m_shown->resultText, entry.resultText);
    refill(m_note, other ? QString() : m_shown->note, entry.note);
    if (other || m_shown->favorite != entry.favorite)
        m_favorite->setChecked(entry.favorite);
    m_shown = entry;
    const QString action = entry.action.isEmpty() ? L10n::t("kw.meta.action.default") : entry.action;
    const QString app = entry.appName.isEmpty() ? L10n::t("kw.meta.app.unknown") : entry.appName;
    m_metaText = L10n::tf("kw.meta", {action, app, KnowledgeListModel::shortDate(entry.createdAt)});
    if (!m_flashEnd->isActive())
        setMeta(m_metaText, Tints::color(Tint::secondaryLabel, Tints::isDark(palette())));
    m_hint->hide();
    m_editors->show();
}

void KnowledgeDetail::showHint(const QString& hint)
{
    m_shown.reset();
    for (QPlainTextEdit* editor : {m_source, m_result, m_note})
        editor->clear();
    m_favorite->setChecked(false);
    m_editors->hide();
    m_hint->setText(hint);
    m_hint->setAccessibleDescription(hint);
    m_hint->show();
}

KnowledgeBrowser::Edits KnowledgeDetail::edits() const
{
    return {m_source->toPlainText(), m_result->toPlainText(), m_note->toPlainText(), m_favorite->isChecked()};
}

void KnowledgeDetail::flash(const QString& text, bool failure)
{
    setMeta(text, Tints::color(failure ? Tint::red : Tint::green, Tints::isDark(palette())));
    m_flashEnd->start();
}

void KnowledgeDetail::setMeta(const QString& text, const QColor& color)
{
    QPalette palette = m_meta->palette();
    palette.setColor(QPalette::WindowText, color);
    m_meta->setPalette(palette);
    m_meta->setText(text);
    m_meta->setAccessibleDescription(text);
}
