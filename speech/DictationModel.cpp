#include "speech/DictationModel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "settings/HomeDir.h"

namespace {

bool isReadableFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isReadable();
}

// One part of the model. Releases hold a float and an int8 variant of each part; the int8
// encoder and joiner are several times smaller and faster at the same accuracy, while the
// decoder is tiny and loses accuracy when quantised.
QString modelPart(const QDir& dir, const QString& part, bool preferInt8)
{
    const QStringList names = dir.entryList({part + QStringLiteral("*.onnx")}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        if (name.endsWith(QLatin1String(".int8.onnx")) == preferInt8 && isReadableFile(dir.filePath(name)))
            return dir.filePath(name);
    }
    for (const QString& name : names) {
        if (isReadableFile(dir.filePath(name)))
            return dir.filePath(name);
    }
    return {};
}

QString engineLibrary()
{
    return QCoreApplication::applicationDirPath()
        + QStringLiteral("/" QUILLO_SHERPA_FROM_BIN "/libsherpa-onnx-c-api.so");
}

} // namespace

QString DictationModel::modelDir()
{
    return HomeDir::path() + QStringLiteral("/.local/share/quillo/dictation-model");
}

QString DictationModel::helperProgram()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/quillo-dictation");
}

std::optional<DictationModel::Files> DictationModel::files(QString* missing)
{
    const QDir dir(modelDir());
    Files found{modelPart(dir, QStringLiteral("encoder"), true), modelPart(dir, QStringLiteral("decoder"), false),
                modelPart(dir, QStringLiteral("joiner"), true), dir.filePath(QStringLiteral("tokens.txt"))};
    const QString absent = found.encoder.isEmpty() ? dir.filePath(QStringLiteral("encoder*.onnx"))
        : found.decoder.isEmpty()                  ? dir.filePath(QStringLiteral("decoder*.onnx"))
        : found.joiner.isEmpty()                   ? dir.filePath(QStringLiteral("joiner*.onnx"))
        : !isReadableFile(found.tokens)            ? found.tokens
                                                   : QString();
    if (missing)
        *missing = absent;
    if (!absent.isEmpty())
        return std::nullopt;
    return found;
}

DictationModel::Status DictationModel::status()
{
    Status status{false, modelDir(), {}};
    if (!QFileInfo(helperProgram()).isExecutable())
        status.missing = helperProgram();
    else if (!isReadableFile(engineLibrary()))
        status.missing = QDir::cleanPath(engineLibrary());
    else
        status.available = files(&status.missing).has_value();
    return status;
}
