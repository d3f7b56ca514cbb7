#include "platform/wayland/KWinScreenShot.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QImage>
#include <QPointer>
#include <QTimer>

namespace {

constexpr int callTimeoutMs = 5000;
constexpr int readTimeoutMs = 5000;

using Shot = ScreenImages::Shot;

// One end of a pipe, closed with its last holder.
using Fd = std::shared_ptr<int>;

Fd own(int fd)
{
    return Fd(new int(fd), [](int* held) {
        ::close(*held);
        delete held;
    });
}

// Reads exactly size bytes; KWin writes them after its reply, from a thread of its own.
bool readAll(int fd, char* into, qsizetype size, std::stop_token stop)
{
    qsizetype done = 0;
    int waited = 0;
    while (done < size) {
        if (stop.stop_requested() || waited >= readTimeoutMs)
            return false;
        pollfd readable{fd, POLLIN, 0};
        const int ready = ::poll(&readable, 1, 100);
        if (ready == 0) {
            waited += 100;
            continue;
        }
        if (ready < 0 && errno == EINTR)
            continue;
        const ssize_t got = ready > 0 ? ::read(fd, into + done, size_t(size - done)) : -1;
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0)
            return false;
        done += got;
    }
    return true;
}

std::shared_ptr<const QImage> readImage(int fd, const QVariantMap& meta, std::stop_token stop)
{
    const int width = meta.value(QStringLiteral("width")).toInt();
    const int height = meta.value(QStringLiteral("height")).toInt();
    const int stride = meta.value(QStringLiteral("stride")).toInt();
    const int format = meta.value(QStringLiteral("format")).toInt();
    if (meta.value(QStringLiteral("type")).toString() != QLatin1String("raw") || width <= 0 || height <= 0
        || format <= QImage::Format_Invalid || format >= QImage::NImageFormats)
        return nullptr;
    auto image = std::make_shared<QImage>(width, height, QImage::Format(format));
    if (image->isNull() || stride < image->bytesPerLine())
        return nullptr;
    QByteArray row(stride, Qt::Uninitialized);
    for (int y = 0; y < height; ++y) {
        if (!readAll(fd, row.data(), stride, stop))
            return nullptr;
        memcpy(image->scanLine(y), row.constData(), size_t(image->bytesPerLine()));
    }
    return image;
}

}

void KWinScreenShot::grab(QObject* context, Done done)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        QTimer::singleShot(0, context, [done] { done({Shot::Outcome::unavailable, Road::kwin, nullptr}); });
        return;
    }
    const Fd readEnd = own(ends[0]);
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.kde.KWin"), QStringLiteral("/org/kde/KWin/ScreenShot2"),
                                       QStringLiteral("org.kde.KWin.ScreenShot2"), QStringLiteral("CaptureWorkspace"));
    // Real pixels on a scaled screen, and no pointer in the picture.
    call.setArguments(
        {QVariantMap{{QStringLiteral("native-resolution"), true}, {QStringLiteral("include-cursor"), false}},
         QVariant::fromValue(QDBusUnixFileDescriptor(ends[1]))});
    ::close(ends[1]); // the message holds its own copy
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, readEnd, guard = QPointer<QObject>(context), done](QDBusPendingCallWatcher* answered) {
                answered->deleteLater();
                const QDBusPendingReply<QVariantMap> reply = *answered;
                if (reply.isError()) {
                    const bool refused = reply.error().name().endsWith(QLatin1String(".NoAuthorized"));
                    m_state = refused ? State::refused : State::unavailable;
                    if (guard)
                        done({refused ? Shot::Outcome::refused : Shot::Outcome::unavailable, Road::kwin, nullptr});
                    return;
                }
                m_pool.run(
                    this,
                    [readEnd, meta = reply.value()](std::stop_token stop) { return readImage(*readEnd, meta, stop); },
                    [this, guard, done](std::shared_ptr<const QImage> image) {
                        m_state = image ? State::works : State::unavailable;
                        if (guard)
                            done({image ? Shot::Outcome::image : Shot::Outcome::unavailable, Road::kwin, image});
                    });
            });
}
