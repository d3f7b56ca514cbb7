#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "tests/support/AtspiDriver.h"
#include "tests/support/DesktopSession.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"
#include "tests/support/RunProgram.h"

// Runs in the private sessions of tests/support/in-wayland.sh (sway, and mutter for GNOME's road), against mousepad
// (GTK 3, a native Wayland client), reading the selection as the shortcut would (quillo --probe-selection).
namespace {

const QString document = QStringLiteral("Quillo reads selected words on Wayland. Second sentence here.");

struct Probe {
    QString read; // "method|text|the context's length before|after", -1 for none
    qint64 pid = 0;
    QString report; // what the program printed, for failure messages
};

Probe probe(const QProcessEnvironment& changes = {}, const QStringList& removed = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(changes);
    for (const QString& name : removed)
        env.remove(name);
    const ProgramResult result = runProgram(quilloBinary(), arguments("--probe-selection 0"), env);
    const QJsonObject json = QJsonDocument::fromJson(result.out).object();
    return {QStringLiteral("%1|%2|%3|%4")
                .arg(json[QLatin1String("method")].toString(), json[QLatin1String("text")].toString())
                .arg(json[QLatin1String("contextBeforeLength")].toInt(-1))
                .arg(json[QLatin1String("contextAfterLength")].toInt(-1)),
            json[QLatin1String("pid")].toInteger(),
            QStringLiteral("exit %1: %2 %3")
                .arg(result.exitCode)
                .arg(QString::fromUtf8(result.out), QString::fromUtf8(result.err.right(2000)))};
}

// mutter has no data-control: there PRIMARY is read, and taken, on Xwayland, as Quillo does.
const bool onGnome = qEnvironmentVariable("XDG_CURRENT_DESKTOP") == QLatin1String("GNOME");

QString primarySelection()
{
    return QString::fromUtf8(
        onGnome ? runProgram(QStringLiteral("xclip"), arguments("-o -selection primary -t UTF8_STRING")).out
                : runProgram(QStringLiteral("wl-paste"), arguments("--primary --no-newline")).out);
}

// Another client owns PRIMARY with the text, until the session ends.
QProcess* takePrimary(DesktopSession& session, const QString& text)
{
    if (!onGnome)
        return session.start(QStringLiteral("wl-copy"), arguments("--primary --foreground") << text);
    QProcess* owner = session.start(QStringLiteral("xclip"), arguments("-quiet -selection primary"));
    if (owner) {
        owner->write(text.toUtf8());
        owner->closeWriteChannel();
    }
    return owner;
}

class WaylandCaptureTest : public ::testing::Test {
protected:
    DesktopSession session;
    QTemporaryDir files;
    qint64 pid = 0;

    void SetUp() override
    {
        ASSERT_TRUE(AtspiDriver::join()) << "the session has an accessibility bus";
        pid = AtspiDriver::startEditor(session, files.filePath(QStringLiteral("doc.txt")), document);
        ASSERT_TRUE(pid) << "mousepad shows the document in the window in front";
    }

    void select(int start, int end)
    {
        ASSERT_TRUE(AtspiDriver::select(pid, start, end));
        // GTK hands a selection to the compositor as PRIMARY; wait until it has arrived or gone.
        const QString expected = document.mid(start, end - start);
        ASSERT_TRUE(eventually([&] { return primarySelection() == expected; })) << expected.toStdString();
    }
};

TEST_F(WaylandCaptureTest, TheSelectionOfTheApplicationInFrontComesWithItsContextThroughAccessibility)
{
    select(7, 21); // "reads selected"
    const Probe read = probe();
    // "Quillo " before, and "words on Wayland. Second sentence here." after.
    EXPECT_EQ(read.read, QStringLiteral("AX|reads selected|6|39")) << read.report.toStdString();
    EXPECT_EQ(read.pid, pid) << "the compositor, or AT-SPI, names the application in front";
    EXPECT_EQ(probe({}, {QStringLiteral("DISPLAY")}).read, read.read)
        << "without an X server beside the compositor nothing changes: this road does not go through X";
}

// Through data-control on sway, through Xwayland on GNOME.
TEST_F(WaylandCaptureTest, WithoutAccessibilityThePrimarySelectionIsRead)
{
    select(0, 12); // "Quillo reads"
    // An accessibility bus where no application is registered: accessibility finds nothing.
    QProcess* emptyBus = session.start("dbus-daemon", arguments("--session --nofork --print-address"), {}, true);
    ASSERT_TRUE(emptyBus && emptyBus->waitForReadyRead(sessionWaitMs));
    const QString address = QString::fromUtf8(emptyBus->readLine().trimmed());
    QProcessEnvironment elsewhere;
    elsewhere.insert(QStringLiteral("AT_SPI_BUS_ADDRESS"), address);

    // sway's road needs no X server; GNOME's is Xwayland.
    const Probe read = probe(elsewhere, onGnome ? QStringList() : QStringList{QStringLiteral("DISPLAY")});
    EXPECT_TRUE(read.read.startsWith(QStringLiteral("复制|Quillo reads|0|")))
        << "no context without accessibility: " << read.report.toStdString();
}

TEST_F(WaylandCaptureTest, ACollapsedSelectionMeansNothingWhateverThePrimarySelectionHolds)
{
    select(0, 12);
    // Another client takes PRIMARY with older words: a selection the user has left behind. Taken
    // while a selection is there to replace: KWin tells data-control clients of PRIMARY only then.
    ASSERT_TRUE(takePrimary(session, QStringLiteral("stale words")));
    ASSERT_TRUE(eventually([] { return primarySelection() == QStringLiteral("stale words"); }));
    // The editor, no longer owning PRIMARY, leaves it alone when its selection collapses.
    ASSERT_TRUE(AtspiDriver::select(pid, 5, 5));
    ASSERT_EQ(primarySelection(), QStringLiteral("stale words"));

    EXPECT_TRUE(probe().read.startsWith(QStringLiteral("||"))) << "the focused editor says nothing is selected";
}

// The shortcut's permission guide follows this answer: no X server is not an accessibility
// problem, and the accessibility switch is.
TEST_F(WaylandCaptureTest, TrustFollowsTheAccessibilitySwitchNotAnXServer)
{
    const auto checkAx = [] {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        return runProgram(quilloBinary(), {QStringLiteral("--check-ax")}, env).out.trimmed();
    };
    ASSERT_TRUE(AtspiDriver::setSwitch(false));
    EXPECT_EQ(checkAx(), QByteArray("AX_NOT_TRUSTED"));
    ASSERT_TRUE(AtspiDriver::setSwitch(true));
    EXPECT_EQ(checkAx(), QByteArray("AX_TRUSTED"));
    EXPECT_TRUE(AtspiDriver::setSwitch(false));
}

}
