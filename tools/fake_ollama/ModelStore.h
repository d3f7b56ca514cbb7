#pragma once

#include <optional>

#include <QDateTime>
#include <QList>
#include <QString>

// Models kept the way the server lays them out: one manifest file per model at
// <models>/manifests/registry.ollama.ai/<namespace>/<name>/<tag>. Installing writes the file,
// deleting removes it, listing reads the directory, so every view of the models agrees.
class ModelStore {
public:
    struct Model {
        QString name; // "qwen2.5:7b"
        qint64 size = 0;
        QString digest; // 64 hex digits
        QDateTime modified;
    };

    explicit ModelStore(QString root);

    // "qwen2.5" → "qwen2.5:latest"; none for a name the server would refuse.
    static std::optional<QString> canonical(const QString& name);
    // Sizes and digests follow from the name alone, so a model looks the same every time.
    static qint64 sizeOf(const QString& canonicalName);
    static QString digestOf(const QString& canonicalName);

    QList<Model> list() const; // newest first
    std::optional<Model> find(const QString& name) const;
    bool install(const QString& name);
    bool remove(const QString& name);

private:
    QString manifestPath(const QString& canonicalName) const;
    QString m_root;
};
