#pragma once

#include <QJsonArray>
#include <QString>

// The table `ollama list` prints for the models of /api/tags: NAME, ID, SIZE, MODIFIED, each
// column padded to its widest cell plus four spaces. Only names starting with `prefix`
// (ignoring case) are shown.
QString listTable(const QJsonArray& models, const QString& prefix);
