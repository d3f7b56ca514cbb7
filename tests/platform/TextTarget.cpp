// A small Qt application that tests drive as the "other application": a text editor window,
// or a clipboard owner offering several formats.
//
//   quillo_text_target --text TEXT [--select START LENGTH]
//       shows TEXT in an editor; --select selects in code, which does not set PRIMARY.
//       Prints "ready" once the window has the focus, then "text:" and the text as JSON after
//       every change.
//   quillo_text_target --own-clipboard TEXT HTML PNG-FILE
//       puts the three formats on the clipboard, prints "ready" and keeps serving them.

#include <cstdio>

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

QString argumentAfter(const QStringList& args, const QString& name, int offset = 1)
{
    const int at = args.indexOf(name);
    return at >= 0 && at + offset < args.size() ? args[at + offset] : QString();
}

int ownClipboard(QApplication& app, const QStringList& args)
{
    QFile png(argumentAfter(args, QStringLiteral("--own-clipboard"), 3));
    if (!png.open(QIODevice::ReadOnly))
        return 2;
    auto* data = new QMimeData;
    data->setText(argumentAfter(args, QStringLiteral("--own-clipboard"), 1));
    data->setHtml(argumentAfter(args, QStringLiteral("--own-clipboard"), 2));
    data->setData(QStringLiteral("image/png"), png.readAll());
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
    say("ready");
    return app.exec();
}

int edit(QApplication& app, const QStringList& args)
{
    QTextEdit editor;
    editor.setAcceptRichText(false);
    editor.setPlainText(argumentAfter(args, QStringLiteral("--text")));
    editor.setWindowTitle(QStringLiteral("quillo text target"));
    if (args.contains(QStringLiteral("--select"))) {
        QTextCursor cursor = editor.textCursor();
        cursor.setPosition(argumentAfter(args, QStringLiteral("--select"), 1).toInt());
        cursor.setPosition(cursor.position() + argumentAfter(args, QStringLiteral("--select"), 2).toInt(),
                           QTextCursor::KeepAnchor);
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

}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    return args.contains(QStringLiteral("--own-clipboard")) ? ownClipboard(app, args) : edit(app, args);
}
