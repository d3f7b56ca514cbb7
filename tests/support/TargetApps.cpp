#include "tests/support/TargetApps.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <xcb/xcb.h>

#include "tests/support/DesktopSession.h"
#include "tests/support/EventLoop.h"
#include "tests/support/RunProgram.h"

namespace TargetApps {

namespace {

constexpr int startTimeoutMs = 15000;

bool xdotool(const DesktopSession& desktop, const QStringList& args)
{
    return runProgram(QStringLiteral("xdotool"), args, desktop.environment()).exitCode == 0;
}

}

QProcess* startQtEditor(DesktopSession& desktop, const QString& text, bool accessible, const QStringList& extraArgs)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    if (accessible)
        env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    QProcess* editor = desktop.start(QStringLiteral(QUILLO_BIN_DIR "/quillo_text_target"),
                                     QStringList{QStringLiteral("--text"), text} + extraArgs, env, true);
    if (!editor || !processEventsUntil([&] { return editor->canReadLine(); }, startTimeoutMs)
        || editor->readLine() != "ready\n")
        return nullptr;
    return editor;
}

QString editorText(QProcess* editor)
{
    QString text;
    processEventsFor(300);
    while (editor->canReadLine()) {
        const QByteArray line = editor->readLine().trimmed();
        if (line.startsWith("text:"))
            text = QJsonDocument::fromJson("[" + line.mid(5) + "]").array().first().toString();
    }
    return text;
}

QProcess* startMousepad(DesktopSession& desktop, const QString& path, const QString& text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text.toUtf8()) < 0)
        return nullptr;
    file.close();
    QProcess* mousepad = desktop.start(QStringLiteral("mousepad"), {path});
    if (!mousepad || !desktop.waitUntilActive(mousepad->processId(), startTimeoutMs))
        return nullptr;
    processEventsFor(300); // the text view takes the focus inside the window
    return mousepad;
}

QProcess* startXtermWithSelectedLine(DesktopSession& desktop, const QString& line)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    QProcess* xterm = desktop.start(QStringLiteral("xterm"),
                                    {QStringLiteral("-u8"), QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"),
                                     QStringLiteral("printf '%s\\n' \"$0\"; exec sleep 600"), line},
                                    env);
    if (!xterm || !desktop.waitUntilActive(xterm->processId(), startTimeoutMs))
        return nullptr;
    processEventsFor(300);
    const bool clicked = xdotool(desktop, {QStringLiteral("getactivewindow"), QStringLiteral("mousemove"),
                                           QStringLiteral("--window"), QStringLiteral("%1"), QStringLiteral("30"),
                                           QStringLiteral("8"), QStringLiteral("click"), QStringLiteral("--repeat"),
                                           QStringLiteral("3"), QStringLiteral("1")});
    processEventsFor(200);
    return clicked ? xterm : nullptr;
}

bool typeKeys(const DesktopSession& desktop, const QStringList& keys)
{
    return xdotool(desktop, QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("5")} + keys);
}

bool selectByKeyboard(const DesktopSession& desktop, int skip, int count)
{
    QStringList keys = {QStringLiteral("ctrl+Home")};
    for (int i = 0; i < skip; ++i)
        keys << QStringLiteral("Right");
    for (int i = 0; i < count; ++i)
        keys << QStringLiteral("shift+Right");
    const bool typed = typeKeys(desktop, keys);
    processEventsFor(200);
    return typed;
}

void clearPrimarySelection()
{
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    xcb_set_selection_owner(c, XCB_NONE, XCB_ATOM_PRIMARY, XCB_CURRENT_TIME);
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_disconnect(c);
}

}
