#include "tools/fake_ollama/FakeEmbedding.h"

#include <cmath>
#include <vector>

namespace {

quint32 fnv1a(const QString& feature)
{
    quint32 hash = 2166136261u;
    for (const char byte : feature.toUtf8()) {
        hash ^= quint8(byte);
        hash *= 16777619u;
    }
    return hash;
}

}

QJsonArray fakeEmbedding(const QString& text, int dimensions)
{
    QList<uint> characters = text.toLower().toUcs4();
    characters.removeIf([](uint c) { return QChar::isSpace(c); });
    QStringList features;
    for (qsizetype i = 0; i < characters.size(); ++i) {
        features.append(QString::fromUcs4(reinterpret_cast<const char32_t*>(&characters[i]), 1));
        if (i + 1 < characters.size())
            features.append(QString::fromUcs4(reinterpret_cast<const char32_t*>(&characters[i]), 2));
    }
    std::vector<double> vector(size_t(dimensions), 0.0);
    for (const QString& feature : features) {
        const quint32 hash = fnv1a(feature);
        vector[hash % quint32(dimensions)] += (hash & 0x80000000u) ? -1.0 : 1.0;
    }
    double length = 0;
    for (const double value : vector)
        length += value * value;
    if (length == 0) {
        vector[0] = 1;
        length = 1;
    }
    QJsonArray result;
    for (const double value : vector)
        result.append(value / std::sqrt(length));
    return result;
}
