#include "tests/support/DesktopSession.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cstring>

#include <xcb/xcb.h>

#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"
#include "tests/support/RunProgram.h"

namespace {

constexpr int startTimeoutMs = 60000; // a first start on a busy machine loads every font and library cold

ProgramResult xdotool(const QStringList& args)
{
    return runProgram(QStringLiteral("xdotool"), args);
}

}

QProcess* DesktopSession::start(const QString& program, const QStringList& args, const QProcessEnvironment& extra,
                                bool readOutput)
{
    auto process = std::make_unique<QProcess>();
    process->setStandardErrorFile(QProcess::nullDevice());
    if (!readOutput)
        process->setStandardOutputFile(QProcess::nullDevice());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(extra);
    process->setProcessEnvironment(environment);
    process->start(program, args);
    if (!process->waitForStarted())
        return nullptr;
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
}

void DesktopSession::stop(QProcess* process)
{
    if (!process || process->state() == QProcess::NotRunning)
        return;
    process->terminate();
    if (!process->waitForFinished(3000)) {
        process->kill();
        process->waitForFinished(3000);
    }
}

QProcess* DesktopSession::startQuillo(const QString& platform, QProcessEnvironment extra)
{
    extra.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    extra.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    QProcess* quillo = start(quilloBinary(), {}, extra);
    return quillo && eventually(quilloOnSessionBus) ? quillo : nullptr;
}

QProcess* DesktopSession::startWindow(const QString& program, const QStringList& args, const QProcessEnvironment& extra)
{
    QProcess* process = start(program, args, extra);
    const auto active = [] {
        return xdotool({QStringLiteral("getactivewindow"), QStringLiteral("getwindowpid")}).out.trimmed();
    };
    if (!process || !processEventsUntil([&] { return active().toLongLong() == process->processId(); }, startTimeoutMs))
        return nullptr;
    processEventsFor(300); // the window hands the focus to its text view
    return process;
}

QProcess* DesktopSession::startQtEditor(const QString& text, bool accessible, const QStringList& extraArgs)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    if (accessible)
        env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    QProcess* editor = start(QStringLiteral(QUILLO_BIN_DIR "/quillo_text_target"),
                             QStringList{QStringLiteral("--text"), text} + extraArgs, env, true);
    const bool ready = editor && processEventsUntil([&] { return editor->canReadLine(); }, startTimeoutMs)
        && editor->readLine() == "ready\n";
    return ready ? editor : nullptr;
}

QString DesktopSession::waitForEditorText(QProcess* editor, const QString& expected)
{
    QString text;
    processEventsUntil([&] {
        while (editor->canReadLine()) {
            const QByteArray line = editor->readLine().trimmed();
            if (line.startsWith("text:"))
                text = QJsonDocument::fromJson("[" + line.mid(5) + "]").array().first().toString();
        }
        return text == expected;
    });
    return text;
}

QProcess* DesktopSession::startMousepad(const QString& path, const QString& text)
{
    return writeFile(path, text.toUtf8()) ? startWindow(QStringLiteral("mousepad"), {path}) : nullptr;
}

QProcess* DesktopSession::startXtermWithSelectedLine(const QString& line)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    QProcess* xterm =
        startWindow(QStringLiteral("xterm"),
                    arguments("-u8 -e sh -c") << QStringLiteral("printf '%s\\n' \"$0\"; exec sleep 600") << line, env);
    // A busy machine may take the three clicks for fewer: click again until PRIMARY holds the line.
    for (int attempt = 0; xterm && attempt < 3; ++attempt) {
        if (clickFirstLine(3) && processEventsUntil([&] { return primarySelection() == line + u'\n'; }, 3000))
            return xterm;
    }
    return nullptr;
}

bool DesktopSession::clickFirstLine(int clicks)
{
    const ProgramResult click = xdotool(arguments("getactivewindow mousemove --window %1 30 8 click --repeat")
                                        << QString::number(clicks) << QStringLiteral("1"));
    processEventsFor(200);
    return click.exitCode == 0;
}

bool DesktopSession::typeKeys(const QStringList& keys)
{
    return xdotool(arguments("key --delay 5") + keys).exitCode == 0;
}

bool DesktopSession::selectByKeyboard(int skip, int count)
{
    QStringList keys = {QStringLiteral("ctrl+Home")};
    for (int i = 0; i < skip + count; ++i)
        keys << (i < skip ? QStringLiteral("Right") : QStringLiteral("shift+Right"));
    const bool typed = typeKeys(keys);
    processEventsFor(200);
    return typed;
}

QString DesktopSession::primarySelection()
{
    return QString::fromUtf8(runProgram(QStringLiteral("xclip"), arguments("-o -selection primary")).out);
}

void DesktopSession::clearPrimarySelection()
{
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    xcb_set_selection_owner(c, XCB_NONE, XCB_ATOM_PRIMARY, XCB_CURRENT_TIME);
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_disconnect(c);
}

bool DesktopSession::selectionOwned(const char* name)
{
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
    xcb_get_selection_owner_reply_t* owner =
        atom ? xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr) : nullptr;
    const bool owned = owner && owner->owner != XCB_NONE;
    free(owner);
    free(atom);
    xcb_disconnect(c);
    return owned;
}
