#pragma once

#include <QJsonArray>
#include <QString>

// A deterministic sentence vector: every character and every pair of neighbouring characters
// of the lower-cased text (white space dropped) is hashed to one of the dimensions with a sign,
// and the sum is scaled to length 1. Texts that share most of their characters therefore point
// the same way (cosine near 1), texts with no characters in common are nearly orthogonal, and
// a test makes two texts similar simply by letting them share wording.
QJsonArray fakeEmbedding(const QString& text, int dimensions = 64);
