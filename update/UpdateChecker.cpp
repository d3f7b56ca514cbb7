#include "update/UpdateChecker.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

#include "engines/http/Http.h"
#include "settings/HomeDir.h"
#include "settings/UserFlags.h"

using namespace std::chrono_literals;

namespace {

QString serverBase()
{
    return QStringLiteral(QUILLO_UPDATE_BASE_URL);
}

// A reserved ".invalid" host (the unconfigured default) is never asked, not even through DNS.
bool mayContact(const QString& url)
{
    return Http::isWebUrl(url) && !QUrl(url).host().endsWith(QLatin1String(".invalid"), Qt::CaseInsensitive);
}

// The pieces of a version, or none when it is not dot-separated decimal numbers.
std::optional<QStringList> versionPieces(const QString& version)
{
    const QStringList pieces = version.trimmed().split(QLatin1Char('.'));
    for (const QString& piece : pieces) {
        if (piece.isEmpty() || !std::all_of(piece.begin(), piece.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
            return std::nullopt;
    }
    return pieces;
}

// Compares two decimal numbers of any length.
int compareNumbers(QString a, QString b)
{
    auto stripZeros = [](QString& number) {
        qsizetype zeros = 0;
        while (zeros < number.size() && number[zeros] == u'0')
            ++zeros;
        number.remove(0, zeros);
    };
    stripZeros(a);
    stripZeros(b);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

}

QString UpdateChecker::versionURL()
{
    return serverBase() + QStringLiteral("/downloads/quillo-version.json");
}

QString UpdateChecker::fallbackDownloadPage()
{
    return serverBase() + QStringLiteral("/quillo");
}

QString UpdateChecker::directDownloadURL()
{
    return serverBase() + QStringLiteral("/downloads/quillo_amd64.deb");
}

QString UpdateChecker::currentVersion()
{
    const QString version = QStringLiteral(QUILLO_VERSION);
    return version.isEmpty() ? QStringLiteral("0") : version;
}

std::optional<UpdateChecker::UpdateInfo> UpdateChecker::fetch(std::chrono::milliseconds timeout, std::stop_token stop,
                                                              const QString& url)
{
    if (!mayContact(url))
        return std::nullopt;
    Http::Request request;
    request.url = url;
    request.connectTimeout = timeout;
    request.idleTimeout = timeout;
    // Only the body counts: whatever status came with it, a valid document is a valid answer.
    const Http::Response response = Http::fetch(request, std::move(stop));
    const QJsonObject document = QJsonDocument::fromJson(response.body).object();
    const QJsonValue latest = document.value(QStringLiteral("latest"));
    if (!latest.isString() || latest.toString().trimmed().isEmpty())
        return std::nullopt;
    // The page is opened for the user: anything but a web address (a local file, a script) is replaced.
    const QString page = document.value(QStringLiteral("url")).toString();
    return UpdateInfo{latest.toString().trimmed(), Http::isWebUrl(page) ? page : fallbackDownloadPage(),
                      document.value(QStringLiteral("notes")).toString()};
}

bool UpdateChecker::isNewer(const QString& a, const QString& b)
{
    const std::optional<QStringList> left = versionPieces(a);
    const std::optional<QStringList> right = versionPieces(b);
    if (!left || !right)
        return false;
    for (qsizetype i = 0; i < std::max(left->size(), right->size()); ++i) {
        if (const int order = compareNumbers(left->value(i), right->value(i)); order != 0)
            return order > 0;
    }
    return false;
}

std::optional<UpdateChecker::UpdateInfo> UpdateChecker::checkSilently(std::stop_token stop, const QString& url)
{
    const std::optional<UpdateInfo> info = fetch(3s, std::move(stop), url);
    if (!info || !isNewer(info->latest, currentVersion()) || lastNotifiedUpdateVersion() == info->latest)
        return std::nullopt;
    setLastNotifiedUpdateVersion(info->latest);
    return info;
}

std::optional<UpdateChecker::UpdateInfo> UpdateChecker::checkManually(std::stop_token stop, const QString& url)
{
    const std::optional<UpdateInfo> info = fetch(3s, std::move(stop), url);
    if (!info || !isNewer(info->latest, currentVersion()))
        return std::nullopt;
    setLastNotifiedUpdateVersion(info->latest);
    return info;
}

QString UpdateChecker::lastNotifiedUpdateVersion()
{
    return UserFlags::text(UserFlags::lastNotifiedUpdateVersion);
}

void UpdateChecker::setLastNotifiedUpdateVersion(const QString& version)
{
    UserFlags::setText(UserFlags::lastNotifiedUpdateVersion, version);
}

QString UpdateChecker::downloadFileName(const QString& latest)
{
    return QStringLiteral("quillo_") + QString(latest).replace(QLatin1Char('/'), QLatin1Char('-'))
        + QStringLiteral("_amd64.deb");
}

QString UpdateChecker::downloadFolder()
{
    const QString named = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    return named.isEmpty() ? HomeDir::path() + QStringLiteral("/Downloads") : named;
}

std::optional<QString> UpdateChecker::download(const QString& latest, std::stop_token stop, const QString& url)
{
    if (!mayContact(url))
        return std::nullopt;
    Http::Request request;
    request.url = url;
    request.idleTimeout = 120s;
    const Http::Response response = Http::fetch(request, std::move(stop));
    if (!response.ok() || response.status != 200)
        return std::nullopt;
    const QString folder = downloadFolder();
    const QString path = folder + QLatin1Char('/') + downloadFileName(latest);
    // Written beside its final name and renamed over it: an older file of that name is replaced
    // in one step, and a failed download never leaves half a file behind.
    QSaveFile file(path);
    if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly) || file.write(response.body) != response.body.size()
        || !file.commit())
        return std::nullopt;
    return path;
}
