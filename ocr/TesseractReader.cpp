#include "ocr/TesseractReader.h"

#include <dlfcn.h>

#include <mutex>

#include <QDebug>
#include <QDir>
#include <QFileInfo>

namespace {

QString modulePath()
{
    // Read from the kernel rather than QCoreApplication, so `quillo --ocr` and tests find it too.
    const QString binDir = QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absolutePath();
    return QDir::cleanPath(binDir + QStringLiteral("/" QUILLO_MODULES_FROM_BIN "/quillo_tesseract.so"));
}

// Loaded once and never closed: neither Tesseract nor OpenMP can be unloaded safely.
OpenTesseractReader entry()
{
    static std::once_flag once;
    static OpenTesseractReader open = nullptr;
    std::call_once(once, [] {
        const QByteArray path = QFile::encodeName(modulePath());
        void* module = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            qWarning("quillo: text recognition cannot be loaded: %s", dlerror());
            return;
        }
        open = reinterpret_cast<OpenTesseractReader>(dlsym(module, QUILLO_TESSERACT_ENTRY));
    });
    return open;
}

}

std::unique_ptr<TesseractReader> TesseractReader::open(const char* languages, Layout layout)
{
    const OpenTesseractReader open = entry();
    return std::unique_ptr<TesseractReader>(open ? open(languages, layout) : nullptr);
}
