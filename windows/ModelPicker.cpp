#include "windows/ModelPicker.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/TaskPool.h"
#include "engines/ollama/EngineControl.h"
#include "settings/L10n.h"
#include "settings/SettingsStore.h"
#include "ui/Tint.h"
#include "ui/Typography.h"
#include "windows/WindowParts.h"

namespace {

using WindowParts::button;
using WindowParts::text;

constexpr int sectionHeight = 262;
constexpr int cardPitch = 62;
constexpr int shownOwnModels = 3;
constexpr int cardWidth = 536;

QColor tint(Tint which)
{
    return Tints::color(which, Tints::isDark(QGuiApplication::palette()));
}

QString rgba(const QColor& colour, qreal alpha)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(colour.red())
        .arg(colour.green())
        .arg(colour.blue())
        .arg(int(alpha * 255));
}

// One choice of the picker: title and description at the left, the size at the right; the
// highlighted one has an accent border and a faint accent background.
QPushButton* card(const QString& title, const QString& description, const QString& size, bool highlighted)
{
    auto* button = new QPushButton;
    button->setAccessibleName(title);
    button->setCursor(Qt::PointingHandCursor);
    const QColor accent = tint(Tint::accent);
    button->setStyleSheet(
        highlighted ? QStringLiteral("QPushButton{border:2px solid %1;border-radius:8px;background:%2;}")
                          .arg(accent.name(), rgba(accent, 0.08))
                    : QStringLiteral("QPushButton{border:1px solid %1;border-radius:8px;background:transparent;}")
                          .arg(rgba(tint(Tint::tertiaryLabel), 0.6)));
    auto* row = new QHBoxLayout(button);
    row->setContentsMargins(12, 6, 12, 6);
    auto* column = new QVBoxLayout;
    column->setSpacing(2);
    column->addWidget(text(title, 13, Tint::label, QFont::DemiBold));
    column->addWidget(text(description, 11.5, Tint::secondaryLabel));
    row->addLayout(column, 1);
    if (!size.isEmpty())
        row->addWidget(text(size, 12, Tint::secondaryLabel), 0, Qt::AlignRight | Qt::AlignVCenter);
    for (QLabel* label : button->findChildren<QLabel*>())
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
    // A button does not grow with the text laid inside it: a description that wraps makes the
    // card taller instead of clipped.
    button->setMinimumHeight(std::max(cardPitch - 6, row->totalHeightForWidth(cardWidth)));
    return button;
}

const ManagedOllama::ModelChoice* catalogueEntry(const QString& id)
{
    for (const ManagedOllama::ModelChoice& choice : ManagedOllama::modelCatalog())
        if (choice.id == id)
            return &choice;
    return nullptr;
}

}

ModelPicker::ModelPicker(std::shared_ptr<EngineControl> engines, TaskPool& tasks, QWidget* parent)
    : QWidget(parent)
    , m_engines(std::move(engines))
    , m_tasks(tasks)
    , m_layout(new QVBoxLayout(this))
{
    setMinimumHeight(sectionHeight);
    m_layout->setContentsMargins(0, 0, 0, 0);
}

ModelPicker::~ModelPicker()
{
    m_download.request_stop();
}

void ModelPicker::replaceContent(QWidget* content)
{
    ++m_step;
    m_progressBar = nullptr;
    m_progressLabel = nullptr;
    if (m_content) {
        // Later, not now: the click that replaces it may come from one of its own buttons.
        m_content->hide();
        m_content->deleteLater();
    }
    m_content = content;
    m_layout->addWidget(content);
    content->show();
}

void ModelPicker::detect()
{
    replaceContent(text(L10n::t("settings.status.checking"), 13, Tint::secondaryLabel));
    const int step = m_step;
    const bool askBuiltIn = !SettingsStore::load().useExternalOllama; // else the built-in engine is not the one asked
    m_tasks.run(
        this,
        [engines = m_engines, askBuiltIn](std::stop_token stop) {
            Found found;
            // The engine starts with the application; wait for it, or a model it holds would look absent.
            if (askBuiltIn && engines->ensureRunning(stop))
                found.builtIn = engines->models(stop);
            if (found.builtIn.isEmpty())
                found.own = engines->ownOllamaModels(stop);
            return found;
        },
        [this, step](const Found& found) {
            if (step != m_step)
                return;
            if (!found.builtIn.isEmpty()) {
                useModel(found.builtIn.first(), false);
                showReady(L10n::tf("onboard.model.alreadyDownloaded", {found.builtIn.first()}));
            } else if (!found.own.isEmpty()) {
                showExternal(found.own);
            } else {
                showPicker();
            }
        });
}

void ModelPicker::showPicker()
{
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    const auto& catalogue = ManagedOllama::modelCatalog();
    QString highlighted = m_selectedModelId.value_or(QString());
    if (!catalogueEntry(highlighted))
        for (const ManagedOllama::ModelChoice& choice : catalogue)
            if (choice.recommended && highlighted.isEmpty())
                highlighted = choice.id;
    for (const ManagedOllama::ModelChoice& choice : catalogue) {
        QPushButton* button =
            card(L10n::t(choice.titleKey), L10n::t(choice.descKey), choice.sizeText, choice.id == highlighted);
        connect(button, &QPushButton::clicked, this, [this, choice] { startDownload(choice); });
        column->addWidget(button);
    }
    QPushButton* skip = card(L10n::t("onboard.model.skip.title"), L10n::t("onboard.model.skip.desc"), {}, false);
    connect(skip, &QPushButton::clicked, this, &ModelPicker::showCloudChosen);
    column->addWidget(skip);
    column->addStretch();
    replaceContent(content);
}

void ModelPicker::showReady(const QString& message)
{
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(text(message, 13, Tint::green));
    QPushButton* change = button("onboard.model.change");
    connect(change, &QPushButton::clicked, this, &ModelPicker::showPicker);
    column->addWidget(change, 0, Qt::AlignLeft);
    column->addStretch();
    replaceContent(content);
}

void ModelPicker::showExternal(const QStringList& models)
{
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    auto* box = new QFrame;
    box->setObjectName(QStringLiteral("ownOllama"));
    const QColor accent = tint(Tint::accent);
    box->setStyleSheet(QStringLiteral("QFrame#ownOllama{border:2px solid %1;border-radius:8px;background:%2;}")
                           .arg(accent.name(), rgba(accent, 0.07)));
    auto* inside = new QVBoxLayout(box);
    inside->addWidget(text(L10n::t("onboard.external.detected"), 12.5, Tint::label));
    for (const QString& model : models.mid(0, shownOwnModels)) {
        auto* row = new QHBoxLayout;
        row->addWidget(text(model, 13, Tint::label, QFont::DemiBold), 1);
        QPushButton* use = button("onboard.external.useThis");
        use->setAccessibleName(use->text() + QLatin1Char(' ') + model);
        connect(use, &QPushButton::clicked, this, [this, model] { adopt(model); });
        row->addWidget(use);
        inside->addLayout(row);
    }
    column->addWidget(box);
    QPushButton* download = button("onboard.external.downloadInstead");
    connect(download, &QPushButton::clicked, this, &ModelPicker::showPicker);
    column->addWidget(download, 0, Qt::AlignLeft);
    column->addStretch();
    replaceContent(content);
}

void ModelPicker::adopt(const QString& model)
{
    useModel(model, true);
    showReady(L10n::tf("onboard.external.using", {model}));
}

void ModelPicker::showCloudChosen()
{
    cancelDownload();
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(text(L10n::t("onboard.model.cloudChosen"), 13, Tint::label));
    QPushButton* change = button("onboard.model.change");
    connect(change, &QPushButton::clicked, this, &ModelPicker::showPicker);
    column->addWidget(change, 0, Qt::AlignLeft);
    column->addStretch();
    replaceContent(content);
}

void ModelPicker::startDownload(const ManagedOllama::ModelChoice& choice)
{
    cancelDownload();
    m_selectedModelId = choice.id;
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(
        text(L10n::tf("onboard.model.downloadingHead", {L10n::t(choice.titleKey)}), 13, Tint::label, QFont::DemiBold));
    auto* bar = new QProgressBar;
    bar->setRange(0, 1000);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setAccessibleName(L10n::tf("onboard.model.downloadingHead", {L10n::t(choice.titleKey)}));
    column->addWidget(bar);
    QLabel* status = text(L10n::t("model.dl.starting"), 12, Tint::secondaryLabel);
    column->addWidget(status);
    QPushButton* cancel = button("common.cancel");
    connect(cancel, &QPushButton::clicked, this, [this] {
        cancelDownload();
        showPicker();
    });
    column->addWidget(cancel, 0, Qt::AlignLeft);
    column->addStretch();
    replaceContent(content);
    m_progressBar = bar;
    m_progressLabel = status;

    m_download = std::stop_source();
    const int step = m_step;
    // Progress and the outcome are applied only while this download's view is still the one shown.
    const QPointer<QObject> self(this);
    m_tasks.run(
        this,
        [this, self, engines = m_engines, choice, step, stop = m_download.get_token()](std::stop_token task) {
            return engines->pull(
                choice.id,
                [this, self, step, stop](const PullPhase& phase, const QString& line) {
                    TaskPool::toGui(
                        self,
                        [this, step, phase, line] {
                            if (m_step == step)
                                applyProgress(phase, line);
                        },
                        stop);
                },
                task);
        },
        [this, step, choice](const std::optional<PullError>& error) {
            if (m_step == step)
                finishDownload(error, choice);
        },
        m_download.get_token());
}

void ModelPicker::applyProgress(const PullPhase& phase, const QString& line)
{
    switch (phase.kind) {
    case PullPhase::Kind::downloading:
        m_progressBar->setRange(0, 1000);
        m_progressBar->setValue(int(phase.fraction * 1000));
        break;
    case PullPhase::Kind::verifying:
        m_progressBar->setRange(0, 0); // indeterminate, animated by the style
        break;
    case PullPhase::Kind::done:
        m_progressBar->setRange(0, 1000);
        m_progressBar->setValue(1000);
        break;
    }
    m_progressLabel->setText(line);
}

void ModelPicker::finishDownload(const std::optional<PullError>& error, const ManagedOllama::ModelChoice& choice)
{
    if (!error) {
        useModel(choice.id, false);
        showReady(L10n::tf("onboard.model.downloadOk", {L10n::t(choice.titleKey)}));
    } else if (error->kind == PullError::Case::cancelled) {
        showPicker();
    } else {
        showError(error->description(), choice.id);
    }
}

void ModelPicker::showError(const QString& description, const QString& modelId)
{
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(text(QStringLiteral("⚠️ ") + description, 13, Tint::orange));
    auto* buttons = new QHBoxLayout;
    QPushButton* retry = button("onboard.model.retry");
    connect(retry, &QPushButton::clicked, this, [this, modelId] {
        if (const ManagedOllama::ModelChoice* choice = catalogueEntry(modelId))
            startDownload(*choice);
        else
            showPicker();
    });
    QPushButton* cloud = button("onboard.model.useCloudInstead");
    connect(cloud, &QPushButton::clicked, this, &ModelPicker::showCloudChosen);
    buttons->addWidget(retry);
    buttons->addWidget(cloud);
    buttons->addStretch();
    column->addLayout(buttons);
    column->addStretch();
    replaceContent(content);
}

void ModelPicker::cancelDownload()
{
    m_download.request_stop();
}

void ModelPicker::useModel(const QString& model, bool external)
{
    AppSettings settings = SettingsStore::load();
    settings.qwenModel = model;
    settings.useExternalOllama = external;
    SettingsStore::save(settings);
}
