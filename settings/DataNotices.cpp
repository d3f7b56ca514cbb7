#include "settings/DataNotices.h"

#include <mutex>
#include <utility>

#include <QDir>

#include "settings/L10n.h"

namespace {

std::mutex noticesMutex;
QStringList pending;

void add(QString text)
{
    std::lock_guard lock(noticesMutex);
    if (!pending.contains(text))
        pending.append(std::move(text));
}

}

namespace DataNotices {

void fileKeptAside(const QString& path, const QString& keptAs)
{
    add(L10n::tf("data.keptAside", {QDir::toNativeSeparators(path), QDir::toNativeSeparators(keptAs)}));
}

void settingIgnored(const QString& path, const QString& key)
{
    add(L10n::tf("data.settingIgnored", {key, QDir::toNativeSeparators(path)}));
}

QStringList take()
{
    std::lock_guard lock(noticesMutex);
    return std::exchange(pending, {});
}

}
