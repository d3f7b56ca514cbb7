// The popup on a real X11 desktop (Xvfb and openbox) next to a real editor, mousepad.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <xcb/xcb.h>

#include "app/InstalledPlatform.h"
#include "memory/SemanticRecall.h"
#include "popup/ActionSession.h"
#include "popup/view/PanelDriver.h"
#include "popup/view/PopupPanel.h"
#include "settings/L10n.h"
#include "tests/popup/ScriptedEngine.h"
#include "tests/support/AtspiDriver.h"
#include "tests/support/DesktopSession.h"
#include "tests/support/EventLoop.h"
#include "tests/support/RunProgram.h"
#include "tests/support/ScopedEnv.h"
#include "ui/InstructionInput.h"
#include "ui/TextArea.h"

namespace {

const PopupAction rewrite{QStringLiteral("改写"), QStringLiteral("改写"), QStringLiteral("系统：改写"),
                          QStringLiteral("请改写"), true};
constexpr xcb_keycode_t escapeKeycode = 9;

QByteArray xdotool(const QStringList& args)
{
    return runProgram(QStringLiteral("xdotool"), args).out.trimmed();
}
QByteArray activeWindowPid()
{
    return xdotool(arguments("getactivewindow getwindowpid"));
}

// Where the X server shows the window (Qt's own idea can be stale, which is what this checks).
QRect onScreen(const QWidget* window)
{
    QHash<QByteArray, int> values; // from lines such as "X=1272"
    for (const QByteArray& line :
         xdotool(arguments("getwindowgeometry --shell") << QString::number(window->winId())).split('\n'))
        values.insert(line.left(line.indexOf('=')), line.mid(line.indexOf('=') + 1).toInt());
    return {values.value("X"), values.value("Y"), values.value("WIDTH"), values.value("HEIGHT")};
}

// Whether another client can take Escape, that is whether nobody holds it.
bool escapeIsFree()
{
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_generic_error_t* error = xcb_request_check(
        c, xcb_grab_key_checked(c, 1, root, 0, escapeKeycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    const bool free = error == nullptr;
    std::free(error);
    xcb_disconnect(c);
    return free;
}

class PopupX11Test : public ::testing::Test {
protected:
    ScopedEnv lang{"SELVANE_UI_LANG", "zh"};
    InstalledPlatform platform;
    DesktopSession desktop;
    SemanticRecall noModels{std::make_shared<NoSentenceEmbedder>()};
    KnowledgeStore store{desktop.homePath() + QStringLiteral("/knowledge.json"), noModels};
    std::shared_ptr<ScriptedEngine> engine = std::make_shared<ScriptedEngine>();
    TaskPool tasks{2};
    PopupPanel panel{{engine, store, tasks, {}, Platform::services(), [] { return 1.0; }}};
    const QString file = desktop.homePath() + QStringLiteral("/notes.txt");

    void SetUp() override
    {
        L10n::invalidate();
        ASSERT_TRUE(AtspiDriver::join());
    }

    void open(std::optional<qint64> target)
    {
        panel.showActions(QStringLiteral("✓ 读到你选中的文字"), QStringLiteral("选中这里"), {rewrite}, nullptr, target,
                          SourceKind::selection);
        ASSERT_TRUE(processEventsUntil([&] { return panel.window() && panel.window()->windowHandle()->isExposed(); }));
        processEventsFor(200);
    }

    void answer(const QString& text)
    {
        engine->add(ScriptedEngine::Script::streamed({text}));
        ASSERT_EQ(PanelDriver(panel).clickForAnswer(rewrite.title, 15000), PanelDriver::Run::answered);
        processEventsFor(300);
    }
};

TEST_F(PopupX11Test, OpensInsideTheCornerWithoutTakingTheEditorsKeyboardAndEscapeFromAnywhereClosesIt)
{
    QProcess* mousepad = desktop.startMousepad(file, QString());
    ASSERT_TRUE(mousepad);
    const QByteArray editor = activeWindowPid();
    xdotool(arguments("mousemove 1279 1023"));
    open(std::nullopt);

    EXPECT_EQ(activeWindowPid(), editor) << "the editor stays in front";
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint corner(area.right() - 8, area.bottom() - 8);
    EXPECT_TRUE(processEventsUntil([&] { return onScreen(panel.window()).bottomRight() == corner; }, 2000))
        << "8 px from the right and bottom edges";
    ASSERT_TRUE(DesktopSession::typeKeys({QStringLiteral("h"), QStringLiteral("i")}));
    EXPECT_TRUE(processEventsUntil([&] {
        return AtspiDriver::editableText(mousepad->processId()) == QStringLiteral("hi");
    })) << "typing still reaches the editor";

    EXPECT_FALSE(escapeIsFree()) << "Escape is ours while the panel is shown";
    ASSERT_TRUE(DesktopSession::typeKeys({QStringLiteral("Escape")}));
    EXPECT_TRUE(processEventsUntil([&] { return !panel.isShown(); }));
    EXPECT_TRUE(processEventsUntil(escapeIsFree)) << "afterwards Escape reaches the other applications again";
}

TEST_F(PopupX11Test, TheInputTakesTheKeyboardAfterAnAnswerAndOnAClick)
{
    QProcess* mousepad = desktop.startMousepad(file, QString());
    ASSERT_TRUE(mousepad);
    const QByteArray editor = activeWindowPid();
    xdotool(arguments("mousemove 100 100"));
    open(mousepad->processId());
    const QRect opened = onScreen(panel.window());
    answer(QStringLiteral("第一行\n第二行\n第三行\n第四行"));
    const QRect grown = onScreen(panel.window());
    EXPECT_EQ(grown.topLeft(), opened.topLeft()) << "the panel grows downwards from where it opened";
    EXPECT_GT(grown.height(), opened.height());
    auto* input = panel.content()->findChild<InstructionInput*>();
    // Keys go where the X server has the focus, which the window manager settles after Qt.
    const QByteArray ours = QByteArray::number(QCoreApplication::applicationPid());
    const auto inputHasTheKeyboard = [&] {
        return input->hasFocus() && panel.window()->isActiveWindow() && activeWindowPid() == ours;
    };
    ASSERT_TRUE(processEventsUntil(inputHasTheKeyboard));
    ASSERT_TRUE(DesktopSession::typeKeys({QStringLiteral("a")}));
    EXPECT_TRUE(processEventsUntil([&] { return input->toPlainText() == QStringLiteral("a"); }));

    // Back to the editor, then a click into the input.
    ASSERT_TRUE(Platform::services().workspace->activate(mousepad->processId()));
    ASSERT_TRUE(processEventsUntil([&] { return activeWindowPid() == editor; }));
    const QPoint centre = input->mapToGlobal(input->rect().center());
    xdotool(QStringList{QStringLiteral("mousemove"), QString::number(centre.x()), QString::number(centre.y())}
            + arguments("click 1"));
    ASSERT_TRUE(processEventsUntil(inputHasTheKeyboard));
    ASSERT_TRUE(DesktopSession::typeKeys({QStringLiteral("b")}));
    EXPECT_TRUE(processEventsUntil([&] { return input->toPlainText().endsWith(QLatin1Char('b')); }));

    // The next lookup from the editor opens in the same window with nothing of this one.
    const WId kept = panel.window()->winId();
    ASSERT_TRUE(Platform::services().workspace->activate(mousepad->processId()));
    ASSERT_TRUE(processEventsUntil([&] { return activeWindowPid() == editor; }));
    xdotool({QStringLiteral("mousemove"), QStringLiteral("300"), QStringLiteral("200")});
    open(mousepad->processId());
    EXPECT_EQ(panel.window()->winId(), kept);
    EXPECT_TRUE(processEventsUntil([&] {
        return onScreen(panel.window()) == QRect(opened.topLeft() + QPoint(200, 100), panel.content()->size());
    })) << "at the pointer, the size of its own view";
    // A click into it: the window manager gives the X focus on the press, before Qt sees it.
    TextArea* selection = panel.content()->findChild<TextArea*>();
    const QPoint inside = selection->mapToGlobal(selection->rect().center());
    xdotool({QStringLiteral("mousemove"), QString::number(inside.x()), QString::number(inside.y()),
             QStringLiteral("click"), QStringLiteral("1")});
    ASSERT_TRUE(processEventsUntil([&] { return selection->textCursor().position() > 0; }));
    EXPECT_NE(xdotool(arguments("getwindowfocus -f")).toULongLong(), panel.window()->winId())
        << "the keyboard the last lookup took stays with the editor";
    EXPECT_EQ(panel.showing(), PopupPanel::Shown::actions);
    EXPECT_FALSE(panel.content()->findChild<InstructionInput*>());
    EXPECT_TRUE(panel.session().transcript().isEmpty());
}

}
