#include "windows/ExportJson.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>

#include "core/TaskPool.h"
#include "memory/KnowledgeStore.h"
#include "settings/L10n.h"

void exportKnowledgeJson(KnowledgeStore& store, TaskPool& tasks, QWidget* window)
{
    const QString path = QFileDialog::getSaveFileName(window, {}, QDir::home().filePath(L10n::t("kw.export.fileName")),
                                                      QStringLiteral("JSON (*.json)"));
    if (path.isEmpty())
        return;
    const QPointer<QWidget> guard(window);
    tasks.start([&store, path, guard](std::stop_token) {
        if (store.exportJSON(path))
            return;
        QMetaObject::invokeMethod(QCoreApplication::instance(), [guard] {
            QMessageBox box(QMessageBox::Warning, L10n::t("kw.export.failTitle"), L10n::t("kw.export.failBody"),
                            QMessageBox::Ok, guard);
            box.exec();
        }, Qt::QueuedConnection);
    });
}
