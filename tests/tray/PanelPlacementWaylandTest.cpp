// The panel on sway, as the user meets it: Quillo running on the Wayland platform, the shortcut's
// command sent while mousepad is in front. The panel floats centred on the pointer, and after
// Escape the editor is the active window again.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRect>
#include <QTemporaryDir>

#include "settings/HomeDir.h"
#include "settings/UserFlags.h"
#include "tests/support/AtspiDriver.h"
#include "tests/support/DesktopSession.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"
#include "tests/support/RunProgram.h"

namespace {

constexpr int waitMs = 30000;
const QPoint pointer(300, 250);

struct Panel {
    QRect rect;
    bool floating = false;
};

void findPanel(const QJsonObject& node, qint64 pid, bool floating, std::optional<Panel>& found)
{
    if (node.value(QLatin1String("pid")).toInteger() == pid
        && node.value(QLatin1String("name")).toString() == QLatin1String("Quillo panel")) {
        const QJsonObject r = node.value(QLatin1String("rect")).toObject();
        found = Panel{{r[QLatin1String("x")].toInt(), r[QLatin1String("y")].toInt(), r[QLatin1String("width")].toInt(),
                       r[QLatin1String("height")].toInt()},
                      floating};
    }
    for (const QJsonValue child : node.value(QLatin1String("nodes")).toArray())
        findPanel(child.toObject(), pid, floating, found);
    for (const QJsonValue child : node.value(QLatin1String("floating_nodes")).toArray())
        findPanel(child.toObject(), pid, true, found);
}

// The panel of that process as sway has it; nothing while none is mapped.
std::optional<Panel> swayPanel(qint64 pid)
{
    const ProgramResult tree =
        runProgram(QStringLiteral("swaymsg"), {QStringLiteral("-r"), QStringLiteral("-t"), QStringLiteral("get_tree")});
    std::optional<Panel> found;
    findPanel(QJsonDocument::fromJson(tree.out).object(), pid, false, found);
    return found;
}

bool busNameOwned()
{
    return runProgram(QStringLiteral("dbus-send"),
                      {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                       QStringLiteral("--dest=org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                       QStringLiteral("org.freedesktop.DBus.NameHasOwner"), QStringLiteral("string:org.quillo.Quillo")})
        .out.contains("true");
}

TEST(PanelPlacementWayland, OnSwayThePanelFloatsCentredOnThePointerAndEscapeGivesTheEditorBack)
{
    ASSERT_EQ(qEnvironmentVariable("XDG_CURRENT_DESKTOP"), QStringLiteral("sway"));
    ASSERT_TRUE(AtspiDriver::join());
    // Onboarded, and told about the tray and the shortcut before: only the panel asked for shows.
    ASSERT_TRUE(writeFile(HomeDir::dataDir() + QStringLiteral("/onboarded"), "1"));
    UserFlags::set("noTrayNotified", true);
    UserFlags::set("shortcutBindingGuideShown", true);

    DesktopSession session;
    QTemporaryDir files;
    const QString path = files.filePath(QStringLiteral("doc.txt"));
    const QString text = QStringLiteral("Quillo reads selected words on Wayland.");
    ASSERT_TRUE(writeFile(path, text.toUtf8()));
    QProcess* mousepad = session.start(QStringLiteral("mousepad"), {path});
    ASSERT_TRUE(mousepad);
    const qint64 editor = mousepad->processId();
    ASSERT_TRUE(processEventsUntil(
        [&] { return AtspiDriver::isActive(editor) && AtspiDriver::editableText(editor) == text; }, waitMs));

    QProcessEnvironment env;
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    env.insert(QStringLiteral("SELVANE_UI_LANG"), QStringLiteral("en"));
    QProcess* quillo = session.start(quilloBinary(), {}, env);
    ASSERT_TRUE(quillo && processEventsUntil(busNameOwned, waitMs));
    ASSERT_TRUE(processEventsUntil([&] { return AtspiDriver::isActive(editor); }, waitMs))
        << "starting Quillo shows nothing";

    ASSERT_TRUE(AtspiDriver::select(editor, 7, 21));
    ASSERT_EQ(runProgram(QStringLiteral("swaymsg"),
                         {QStringLiteral("seat"), QStringLiteral("-"), QStringLiteral("cursor"), QStringLiteral("set"),
                          QString::number(pointer.x()), QString::number(pointer.y())})
                  .exitCode,
              0);
    ASSERT_EQ(runProgram(quilloBinary(), {QStringLiteral("--trigger")}).exitCode, 0);

    // Mapped first, then moved: waited for until it is where it belongs.
    std::optional<Panel> panel;
    const auto centred = [&] {
        return (panel = swayPanel(quillo->processId())) && (panel->rect.center() - pointer).manhattanLength() <= 2;
    };
    processEventsUntil(centred, waitMs);
    ASSERT_TRUE(panel) << "the panel is mapped";
    EXPECT_TRUE(panel->floating) << "not tiled beside the editor";
    const QPoint centre = panel->rect.center();
    EXPECT_LE(std::abs(centre.x() - pointer.x()), 2)
        << panel->rect.x() << "," << panel->rect.y() << " " << panel->rect.width() << "x" << panel->rect.height();
    EXPECT_LE(std::abs(centre.y() - pointer.y()), 2) << centre.y();

    ASSERT_TRUE(processEventsUntil([&] { return !AtspiDriver::isActive(editor); }, waitMs))
        << "the panel takes the keys";
    ASSERT_EQ(runProgram(QStringLiteral("wtype"), {QStringLiteral("-k"), QStringLiteral("Escape")}).exitCode, 0);
    EXPECT_TRUE(processEventsUntil([&] { return !swayPanel(quillo->processId()); }, waitMs))
        << "Escape closes the panel";
    EXPECT_TRUE(processEventsUntil([&] { return AtspiDriver::isActive(editor); }, waitMs))
        << "the editor is in front again";
}

}
