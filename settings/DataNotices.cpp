#include "settings/DataNotices.h"

#include <mutex>
#include <utility>

#include <QDir>

#include "settings/L10n.h"

namespace {

// A notice is kept as its text's key and arguments and put into words only when taken: the
// settings, which name the interface language, may be what is being read when it is recorded.
using Notice = QStringList;

std::mutex noticesMutex;
QList<Notice> pending;
std::function<void()> listener;

void add(const char* key, const QStringList& args)
{
    const Notice notice = QStringList{QString::fromLatin1(key)} + args;
    std::lock_guard lock(noticesMutex);
    if (pending.contains(notice))
        return;
    pending.append(notice);
    if (listener)
        listener();
}

}

namespace DataNotices {

void fileKeptAside(const QString& path, const QString& keptAs)
{
    add("data.keptAside", {QDir::toNativeSeparators(path), QDir::toNativeSeparators(keptAs)});
}

void fileUnreadable(const QString& path)
{
    add("data.unreadable", {QDir::toNativeSeparators(path)});
}

void settingIgnored(const QString& path, const QString& key)
{
    add("data.settingIgnored", {key, QDir::toNativeSeparators(path)});
}

QStringList take()
{
    QList<Notice> taken;
    {
        std::lock_guard lock(noticesMutex);
        taken = std::exchange(pending, {});
    }
    QStringList texts;
    for (const Notice& notice : std::as_const(taken)) {
        QVariantList args;
        for (qsizetype i = 1; i < notice.size(); ++i)
            args << notice[i];
        texts << L10n::tf(notice.first().toLatin1().constData(), args);
    }
    return texts;
}

void setListener(std::function<void()> newListener)
{
    std::lock_guard lock(noticesMutex);
    listener = std::move(newListener);
}

}
