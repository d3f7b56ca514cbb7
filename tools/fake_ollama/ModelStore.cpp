#include "tools/fake_ollama/ModelStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

const QString registry = QStringLiteral("registry.ollama.ai");

}

ModelStore::ModelStore(QString root)
    : m_root(std::move(root))
{
}

std::optional<QString> ModelStore::canonical(const QString& name)
{
    static const QRegularExpression valid(QStringLiteral(
        R"(^[A-Za-z0-9][A-Za-z0-9_.\-]*(/[A-Za-z0-9][A-Za-z0-9_.\-]*)?(:[A-Za-z0-9_][A-Za-z0-9_.\-]*)?$)"));
    const QString trimmed = name.trimmed();
    if (!valid.match(trimmed).hasMatch())
        return std::nullopt;
    return trimmed.contains(QLatin1Char(':')) ? trimmed : trimmed + QStringLiteral(":latest");
}

qint64 ModelStore::sizeOf(const QString& canonicalName)
{
    // About 0.6 GB per billion parameters, like a 4-bit quantised model; 1.2 GB without a size tag.
    static const QRegularExpression parameters(QStringLiteral(R"(:(\d+(?:\.\d+)?)b)"));
    const QRegularExpressionMatch match = parameters.match(canonicalName);
    const double billions = match.hasMatch() ? match.captured(1).toDouble() : 2.0;
    return qint64(billions * 0.6e9) + qint64(digestOf(canonicalName).left(6).toUInt(nullptr, 16));
}

QString ModelStore::digestOf(const QString& canonicalName)
{
    return QString::fromLatin1(QCryptographicHash::hash(canonicalName.toUtf8(), QCryptographicHash::Sha256).toHex());
}

QString ModelStore::manifestPath(const QString& canonicalName) const
{
    QString repository = canonicalName.section(QLatin1Char(':'), 0, 0);
    if (!repository.contains(QLatin1Char('/')))
        repository.prepend(QStringLiteral("library/"));
    return QStringLiteral("%1/manifests/%2/%3/%4")
        .arg(m_root, registry, repository, canonicalName.section(QLatin1Char(':'), 1));
}

QList<ModelStore::Model> ModelStore::list() const
{
    QList<Model> models;
    const QString base = QStringLiteral("%1/manifests/%2/").arg(m_root, registry);
    QDirIterator files(base, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QFileInfo file(files.next());
        QStringList parts = file.filePath().mid(base.size()).split(QLatin1Char('/'));
        if (parts.size() != 3)
            continue;
        if (parts.first() == QLatin1String("library"))
            parts.removeFirst();
        const QString tag = parts.takeLast();
        QFile manifest(file.filePath());
        manifest.open(QIODevice::ReadOnly);
        const QJsonObject json = QJsonDocument::fromJson(manifest.readAll()).object();
        models.append({parts.join(QLatin1Char('/')) + QLatin1Char(':') + tag,
                       qint64(json.value(QStringLiteral("size")).toDouble()),
                       json.value(QStringLiteral("digest")).toString(), file.lastModified()});
    }
    std::sort(models.begin(), models.end(), [](const Model& a, const Model& b) { return a.modified > b.modified; });
    return models;
}

std::optional<ModelStore::Model> ModelStore::find(const QString& name) const
{
    const std::optional<QString> wanted = canonical(name);
    if (!wanted)
        return std::nullopt;
    for (const Model& model : list()) {
        if (model.name == *wanted)
            return model;
    }
    return std::nullopt;
}

bool ModelStore::install(const QString& name)
{
    const std::optional<QString> model = canonical(name);
    if (!model)
        return false;
    const QString path = manifestPath(*model);
    QDir().mkpath(QFileInfo(path).path());
    QFile manifest(path);
    if (!manifest.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QJsonObject json{{QStringLiteral("schemaVersion"), 2},
                           {QStringLiteral("size"), double(sizeOf(*model))},
                           {QStringLiteral("digest"), digestOf(*model)}};
    return manifest.write(QJsonDocument(json).toJson(QJsonDocument::Compact)) > 0;
}

bool ModelStore::remove(const QString& name)
{
    const std::optional<QString> model = canonical(name);
    return model && QFile::remove(manifestPath(*model));
}
