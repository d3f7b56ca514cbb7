#pragma once

#include <QStringList>

namespace KnowledgePreview {

// Draws the knowledge window, filled with sample entries and a sample profile kept in a
// throw-away directory, to "<directory>/knowledge.png" without showing it. Returns the file
// written (none when it could not be written).
QStringList render(const QString& directory);

}
