#pragma once

#include <chrono>
#include <optional>
#include <stop_token>

#include <QString>

// Asks the download server whether a newer version exists and fetches it. The server's address
// is fixed at build time (QUILLO_UPDATE_BASE_URL); a build that names none points at a reserved
// ".invalid" host and never sends a request: it simply finds no update.
// Blocking calls are meant for background tasks.
class UpdateChecker {
public:
    struct UpdateInfo {
        QString latest; // trimmed
        QString url;    // the download page
        QString notes;  // may be empty
        bool operator==(const UpdateInfo&) const = default;
    };

    static QString versionURL();           // <base>/downloads/quillo-version.json
    static QString fallbackDownloadPage(); // <base>/quillo
    static QString directDownloadURL();    // <base>/downloads/quillo_amd64.deb, the current package
    static QString currentVersion();

    // The version document, or nothing when it cannot be had or understood.
    static std::optional<UpdateInfo> fetch(std::chrono::milliseconds timeout = std::chrono::seconds(3),
                                           std::stop_token stop = {}, const QString& url = versionURL());

    // Whether version `a` is newer than `b`: dot-separated decimal numbers, missing pieces are 0;
    // anything else on either side makes it false.
    static bool isNewer(const QString& a, const QString& b);

    // The silent check: a newer version not announced before. Remembers it as announced.
    static std::optional<UpdateInfo> checkSilently(std::stop_token stop = {}, const QString& url = versionURL());
    // The menu's check: any newer version (also remembered as announced); nothing means up to date.
    static std::optional<UpdateInfo> checkManually(std::stop_token stop = {}, const QString& url = versionURL());

    // The last version announced to the user, kept across runs.
    static QString lastNotifiedUpdateVersion();
    static void setLastNotifiedUpdateVersion(const QString& version);

    // The Debian package's own name, "quillo_<latest>_amd64.deb", with every "/" of the version
    // turned into "-".
    static QString downloadFileName(const QString& latest);
    // The user's Downloads folder (XDG), else ~/Downloads.
    static QString downloadFolder();
    // Downloads the new package into the Downloads folder (replacing a file of the same name), for
    // the desktop's software installer to open; its path, or nothing when anything failed.
    static std::optional<QString> download(const QString& latest, std::stop_token stop = {},
                                           const QString& url = directDownloadURL());
};
