#include "app/Out.h"

#include <unistd.h>

#include <cerrno>

namespace {

void writeAll(int fd, const QByteArray& bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        written += n;
    }
}

}

void out(const QString& line)
{
    writeAll(STDOUT_FILENO, line.toUtf8() + '\n');
}

void outText(const QString& text)
{
    writeAll(STDOUT_FILENO, text.toUtf8());
}

void outError(const QString& line)
{
    writeAll(STDERR_FILENO, line.toUtf8() + '\n');
}
