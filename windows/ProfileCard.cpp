#include "windows/ProfileCard.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/TaskPool.h"
#include "memory/KnowledgeStore.h"
#include "popup/ActionEngine.h"
#include "profile/ProfileEngine.h"
#include "profile/ProfileStore.h"
#include "settings/L10n.h"
#include "settings/SettingsStore.h"
#include "ui/Tint.h"
#include "ui/Typography.h"
#include "windows/KnowledgeListModel.h"

namespace {

void setColor(QLabel* label, Tint tint)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Tints::color(tint, Tints::isDark(palette)));
    label->setPalette(palette);
}

}

ProfileCard::ProfileCard(KnowledgeStore& store, TaskPool& tasks, std::shared_ptr<ActionEngine> engine, QWidget* parent)
    : QFrame(parent)
    , m_store(store)
    , m_tasks(tasks)
    , m_engine(std::move(engine))
    , m_switch(new QCheckBox(L10n::t("kw.profile.toggle"), this))
    , m_edit(new QPushButton(L10n::t("kw.profile.edit"), this))
    , m_refresh(new QPushButton(L10n::t("kw.profile.refresh"), this))
    , m_text(new QLabel(this))
    , m_meta(new QLabel(this))
{
    setFrameShape(QFrame::StyledPanel);
    setFixedHeight(84);
    m_switch->setAccessibleName(QStringLiteral("profile-switch"));
    m_edit->setAccessibleName(QStringLiteral("profile-edit"));
    m_refresh->setAccessibleName(QStringLiteral("profile-refresh"));
    m_text->setAccessibleName(QStringLiteral("profile-text"));
    m_meta->setAccessibleName(QStringLiteral("profile-meta"));

    auto* title = new QLabel(L10n::t("kw.profile.title"), this);
    title->setFont(Typography::font(12, 1.0, QFont::DemiBold));
    m_text->setFont(Typography::font(13, 1.0));
    m_text->setMinimumWidth(1);
    m_meta->setFont(Typography::font(10, 1.0));
    setColor(m_meta, Tint::tertiaryLabel);

    auto* head = new QHBoxLayout;
    head->addWidget(title);
    head->addSpacing(8);
    head->addWidget(m_switch);
    head->addStretch();
    head->addWidget(m_edit);
    head->addWidget(m_refresh);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 6, 14, 6);
    layout->setSpacing(2);
    layout->addLayout(head);
    layout->addWidget(m_text);
    layout->addWidget(m_meta);

    connect(m_switch, &QCheckBox::clicked, this, &ProfileCard::setEnabledSetting);
    connect(m_edit, &QPushButton::clicked, this, &ProfileCard::edit);
    connect(m_refresh, &QPushButton::clicked, this, &ProfileCard::regenerate);
    refresh();
}

void ProfileCard::refresh()
{
    const bool enabled = SettingsStore::load().profileEnabled;
    const std::optional<UserProfile> profile = ProfileStore::load();
    const bool usable = profile && profile->isUsable();
    m_switch->setChecked(enabled);
    m_edit->setEnabled(enabled && usable);
    m_refresh->setEnabled(enabled && !m_regenerating);

    QString text;
    if (m_regenerating) {
        text = L10n::t("kw.profile.refreshing");
        setColor(m_text, Tint::secondaryLabel);
        m_meta->clear();
    } else if (enabled && usable) {
        text = profile->text;
        setColor(m_text, Tint::label);
        QString meta =
            L10n::tf("kw.profile.meta",
                     {QString::number(profile->basedOnCount), KnowledgeListModel::shortDate(profile->updatedAt)});
        if (profile->userEdited)
            meta += QStringLiteral("  ·  ") + L10n::t("kw.profile.userEdited");
        m_meta->setText(meta);
    } else {
        text = L10n::t(enabled ? "kw.profile.none" : "kw.profile.disabled");
        setColor(m_text, Tint::tertiaryLabel);
        m_meta->clear();
    }
    m_meta->setAccessibleDescription(m_meta->text());
    m_fullText = text;
    m_text->setToolTip(text);
    elideText();
}

void ProfileCard::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    elideText();
}

void ProfileCard::elideText()
{
    // One line: the whole text is in the tooltip and the edit dialog.
    const int width = contentsRect().width() - layout()->contentsMargins().left() - layout()->contentsMargins().right();
    m_text->setText(QFontMetrics(m_text->font()).elidedText(m_fullText, Qt::ElideRight, qMax(100, width)));
    m_text->setAccessibleDescription(m_fullText);
}

void ProfileCard::setEnabledSetting(bool enabled)
{
    AppSettings settings = SettingsStore::load();
    settings.profileEnabled = enabled;
    SettingsStore::save(settings);
    refresh();
}

void ProfileCard::edit()
{
    QDialog dialog(window());
    dialog.setWindowTitle(L10n::t("kw.profile.editTitle"));
    auto* hint = new QLabel(L10n::t("kw.profile.editHint"), &dialog);
    hint->setWordWrap(true);
    auto* field = new QLineEdit(ProfileStore::load().value_or(UserProfile()).text, &dialog);
    field->setAccessibleName(QStringLiteral("profile-edit-field"));
    field->setPlaceholderText(L10n::t("kw.profile.editPlaceholder"));
    field->setMinimumWidth(420);
    auto* buttons = new QDialogButtonBox(&dialog);
    buttons->addButton(L10n::t("common.save"), QDialogButtonBox::AcceptRole)
        ->setAccessibleName(QStringLiteral("profile-edit-save"));
    buttons->addButton(L10n::t("common.cancel"), QDialogButtonBox::RejectRole)
        ->setAccessibleName(QStringLiteral("profile-edit-cancel"));
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(hint);
    layout->addWidget(field);
    layout->addWidget(buttons);
    if (dialog.exec() == QDialog::Accepted)
        ProfileEngine::saveUserEdit(field->text(), m_store.count());
    refresh();
}

void ProfileCard::regenerate()
{
    if (m_regenerating)
        return;
    ProfileEngine::releaseUserEdit();
    m_regenerating = true;
    refresh();
    m_tasks.run(
        this,
        [store = &m_store, engine = m_engine](std::stop_token task) {
            ProfileEngine::regenerate(*store, engine->profileChat(task), task);
        },
        [this] {
            m_regenerating = false;
            refresh();
        });
}
