// The "other application" tests drive: a text editor window, or a clipboard owner.
//   quillo_text_target --text TEXT [--select START LENGTH] [--no-accessibility]
//       an editor showing TEXT (--select selects in code, which does not set PRIMARY); prints
//       "ready" once it has the focus, then "text:" and the text as JSON after every change.
//       --no-accessibility: its text is not offered to assistive tools (Qt 6.8 joins the
//       accessibility bus whatever the desktop's switch says, so staying off it is no way to get one).
//   quillo_text_target --own-clipboard TEXT HTML PNG-FILE
//       puts the three formats on the clipboard, prints "ready" and keeps serving them.

#include <cstdio>

#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMimeData>
#include <QTextEdit>
#include <QTimer>

namespace {

void say(const QByteArray& line)
{
    std::fputs((line + '\n').constData(), stdout);
    std::fflush(stdout);
}

}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const auto after = [&](const char* name, int offset) {
        const qsizetype at = args.indexOf(QLatin1String(name));
        return at >= 0 && at + offset < args.size() ? args[at + offset] : QString();
    };
    if (args.contains(QStringLiteral("--own-clipboard"))) {
        QFile png(after("--own-clipboard", 3));
        if (!png.open(QIODevice::ReadOnly))
            return 2;
        auto* data = new QMimeData;
        data->setText(after("--own-clipboard", 1));
        data->setHtml(after("--own-clipboard", 2));
        data->setData(QStringLiteral("image/png"), png.readAll());
        QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
        say("ready");
        return app.exec();
    }
    if (args.contains(QStringLiteral("--no-accessibility"))) {
        QAccessible::installFactory([](const QString&, QObject* object) -> QAccessibleInterface* {
            auto* edit = qobject_cast<QTextEdit*>(object);
            return edit ? new QAccessibleWidget(edit, QAccessible::Client) : nullptr;
        });
    }
    QTextEdit editor;
    editor.setAcceptRichText(false);
    editor.setPlainText(after("--text", 1));
    if (args.contains(QStringLiteral("--select"))) {
        QTextCursor cursor = editor.textCursor();
        cursor.setPosition(after("--select", 1).toInt());
        cursor.setPosition(cursor.position() + after("--select", 2).toInt(), QTextCursor::KeepAnchor);
        editor.setTextCursor(cursor);
    }
    QObject::connect(&editor, &QTextEdit::textChanged, [&editor] {
        const QByteArray json = QJsonDocument(QJsonArray{editor.toPlainText()}).toJson(QJsonDocument::Compact);
        say("text:" + json.mid(1, json.size() - 2));
    });
    editor.resize(600, 300);
    editor.show();
    editor.activateWindow();
    QTimer ready;
    QObject::connect(&ready, &QTimer::timeout, [&] {
        if (editor.hasFocus()) {
            ready.stop();
            say("ready");
        }
    });
    ready.start(20);
    return app.exec();
}
