#include "windows/OrganiseFlow.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

#include "core/TaskPool.h"
#include "memory/CollectionExport.h"
#include "memory/KnowledgeStore.h"
#include "platform/Clipboard.h"
#include "popup/ActionEngine.h"
#include "settings/L10n.h"
#include "ui/Typography.h"

namespace {

enum Choice { closeChoice, copyChoice, saveChoice };

// The reply, read-only and selectable, with copy, save and close; returns the button chosen.
Choice askWhatToDo(const QString& reply, QWidget* window)
{
    QDialog dialog(window);
    dialog.setWindowTitle(L10n::t("kw.organize.resultTitle"));
    auto* text = new QPlainTextEdit(reply, &dialog);
    text->setAccessibleName(QStringLiteral("organise-result"));
    text->setReadOnly(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    text->setFont(Typography::font(12, 1.0));
    text->document()->setDocumentMargin(8);
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text->setFixedSize(560, 360);
    auto* buttons = new QDialogButtonBox(&dialog);
    const auto add = [&](const char* key, const char* name, Choice choice) {
        QPushButton* button = buttons->addButton(L10n::t(key), QDialogButtonBox::ActionRole);
        button->setAccessibleName(QString::fromLatin1(name));
        QObject::connect(button, &QPushButton::clicked, &dialog, [&dialog, choice] { dialog.done(choice); });
    };
    add("kw.organize.btn.copy", "organise-copy", copyChoice);
    add("kw.organize.btn.save", "organise-save", saveChoice);
    add("kw.organize.btn.close", "organise-close", closeChoice);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(text);
    layout->addWidget(buttons);
    return Choice(dialog.exec());
}

void alert(QWidget* window, const char* titleKey, const char* textKey)
{
    QMessageBox box(QMessageBox::Warning, L10n::t(titleKey), L10n::t(textKey), QMessageBox::Ok, window);
    box.exec();
}

}

OrganiseFlow::OrganiseFlow(KnowledgeStore& store, TaskPool& tasks, std::shared_ptr<ActionEngine> engine,
                           Clipboard& clipboard, QWidget* window)
    : QObject(window)
    , m_store(store)
    , m_tasks(tasks)
    , m_engine(std::move(engine))
    , m_clipboard(clipboard)
    , m_window(window)
{
}

void OrganiseFlow::start()
{
    if (m_running)
        return;
    const QList<KnowledgeEntry> entries = m_store.collections({});
    if (entries.isEmpty()) {
        QMessageBox box(QMessageBox::Information, L10n::t("kw.organize.resultTitle"), L10n::t("kw.organize.empty"),
                        QMessageBox::Ok, m_window);
        box.exec();
        return;
    }
    const bool english = L10n::current() == L10n::Lang::en;
    const ChatMessages messages = {ChatMessage::system(CollectionExport::systemPrompt(english)),
                                   ChatMessage::user(CollectionExport::userPrompt(entries, english))};
    // Which engine is ready may take a request to learn, so even that is asked on the task.
    m_running = true;
    Q_EMIT runningChanged(true);
    m_tasks.run(
        this,
        [engine = m_engine, messages](std::stop_token task) {
            const ProfileEngine::OneShotChat chat = engine->profileChat(task);
            if (!chat)
                return Reply{Outcome::notReady, {}};
            const std::optional<QString> reply = chat(messages, task);
            return reply ? Reply{Outcome::answered, *reply} : Reply{Outcome::failed, {}};
        },
        [this](const Reply& reply) { finish(reply); });
}

void OrganiseFlow::finish(const Reply& reply)
{
    m_running = false;
    Q_EMIT runningChanged(false);
    switch (reply.outcome) {
    case Outcome::notReady: alert(m_window, "kw.organize.failTitle", "kw.organize.notReady"); return;
    case Outcome::failed: alert(m_window, "kw.organize.failTitle", "kw.organize.failBody"); return;
    case Outcome::answered: showResult(reply.text); return;
    }
}

void OrganiseFlow::showResult(const QString& reply)
{
    switch (askWhatToDo(reply, m_window)) {
    case copyChoice:
        m_clipboard.setText(reply);
        Q_EMIT copied();
        return;
    case saveChoice: saveMarkdown(reply); return;
    case closeChoice: return;
    }
}

void OrganiseFlow::saveMarkdown(const QString& reply)
{
    const QString path = QFileDialog::getSaveFileName(
        m_window, {}, QDir::home().filePath(L10n::t("kw.organize.saveFileName")), QStringLiteral("Markdown (*.md)"));
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    const QByteArray bytes = reply.toUtf8();
    // A file that was not written is said so: the user would otherwise go looking for it.
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        alert(m_window, "kw.export.failTitle", "kw.export.failBody");
}
