#include "windows/ExportJson.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

#include "core/TaskPool.h"
#include "memory/KnowledgeStore.h"
#include "settings/L10n.h"

void exportKnowledgeJson(KnowledgeStore& store, TaskPool& tasks, QWidget* window)
{
    const QString path = QFileDialog::getSaveFileName(window, {}, QDir::home().filePath(L10n::t("kw.export.fileName")),
                                                      QStringLiteral("JSON (*.json)"));
    if (path.isEmpty())
        return;
    tasks.run(
        window, [&store, path](std::stop_token) { return store.exportJSON(path); },
        [window](bool exported) {
            if (exported)
                return;
            QMessageBox box(QMessageBox::Warning, L10n::t("kw.export.failTitle"), L10n::t("kw.export.failBody"),
                            QMessageBox::Ok, window);
            box.exec();
        });
}
