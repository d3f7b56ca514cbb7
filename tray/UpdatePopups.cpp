#include "tray/UpdatePopups.h"

#include <optional>

#include <QDesktopServices>
#include <QUrl>

#include "core/TaskPool.h"
#include "popup/view/PopupPanel.h"
#include "settings/L10n.h"

namespace {

using Info = std::optional<UpdateChecker::UpdateInfo>;
constexpr int updateIntervalMs = 21600 * 1000;

}

UpdatePopups::UpdatePopups(PopupPanel& popup, TaskPool& tasks, QObject* parent)
    : QObject(parent)
    , m_popup(popup)
    , m_tasks(tasks)
{
    m_timer.setInterval(updateIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &UpdatePopups::performSilentUpdateCheck);
}

void UpdatePopups::start()
{
    performSilentUpdateCheck();
    m_timer.start();
}

void UpdatePopups::performSilentUpdateCheck()
{
    m_tasks.run(
        this, [](std::stop_token stop) { return UpdateChecker::checkSilently(stop); },
        [this](const Info& info) {
            if (info)
                showUpdatePopup(*info);
        });
}

void UpdatePopups::checkForUpdateManually()
{
    m_tasks.run(
        this, [](std::stop_token stop) { return UpdateChecker::checkManually(stop); },
        [this](const Info& info) {
            if (info)
                showUpdatePopup(*info);
            else
                m_popup.show(L10n::t("update.uptodate.header"),
                             L10n::tf("update.uptodate.body", {UpdateChecker::currentVersion()}), Tint::green);
        });
}

void UpdatePopups::showUpdatePopup(const UpdateChecker::UpdateInfo& info)
{
    const QString body = info.notes.isEmpty() ? L10n::tf("update.available.body", {info.latest})
                                              : L10n::tf("update.available.bodyNotes", {info.latest, info.notes});
    m_popup.showAuthGuide(L10n::t("update.available.header"), body, Tint::blue,
                          {{L10n::t("update.btn.download"), [this, info] { downloadAndOpen(info.latest, info.url); }},
                           {L10n::t("update.btn.later"), [this] { m_popup.close(); }}});
}

void UpdatePopups::downloadAndOpen(const QString& latest, const QString& fallbackPage)
{
    m_popup.show(L10n::t("update.available.header"), L10n::t("update.downloading"), Tint::blue);
    using Path = std::optional<QString>;
    m_tasks.run(
        this, [latest](std::stop_token stop) { return UpdateChecker::download(latest, stop); },
        [this, fallbackPage](const Path& path) {
            if (!path) {
                openFallbackPage(fallbackPage);
                return;
            }
            QDesktopServices::openUrl(QUrl::fromLocalFile(*path));
            m_popup.show(L10n::t("update.available.header"), L10n::t("update.downloaded"), Tint::green);
        });
}

void UpdatePopups::openFallbackPage(const QString& page)
{
    const QUrl url(page);
    if (url.isValid() && !url.scheme().isEmpty())
        QDesktopServices::openUrl(url);
    m_popup.show(L10n::t("update.available.header"), L10n::t("update.downloadFailed"), Tint::orange);
}
