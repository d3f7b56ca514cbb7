// Screen text on Wayland as the user meets it, in the private sway and KWin sessions of tests/support/in-wayland.sh:
// the desktop hands out the picture of the screens (KWin's ScreenShot2 only to a program its desktop entries allow; the
// portal, here a fake one speaking its protocol, on every desktop), the overlay shows each screen's part of it, and a
// refusal leads to the guide that says what to allow, whose button asks again.
#include <gtest/gtest.h>

#include <optional>

#include <QDir>
#include <QHash>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "platform/wayland/KWinScreenShot.h"
#include "settings/HomeDir.h"
#include "settings/L10n.h"
#include "settings/UserFlags.h"
#include "tests/support/AtspiDriver.h"
#include "tests/support/CompositorWindows.h"
#include "tests/support/DesktopSession.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"
#include "tests/support/RunProgram.h"

namespace {

const QString overlayTitle = QStringLiteral("Quillo screen text");
const bool onKWin = qEnvironmentVariable("XDG_CURRENT_DESKTOP") == QLatin1String("KDE");

using Shot = ScreenImages::Shot;

// A picture in which no two nearby pixels repeat, so a crop one pixel off differs.
QRgb patternAt(int x, int y)
{
    return qRgb((x * 37 + y * 11) & 255, (x * 7 ^ y * 53) & 255, (x * y + x) & 255);
}

bool savePattern(QSize size, const QString& path)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, patternAt(x, y));
    return image.save(path);
}

// Whether the screen shows its part of the pattern under the overlay's veil, at a grid of points.
bool showsVeiledPattern(const QImage& screen, QRect part)
{
    if (screen.size() != part.size())
        return false;
    const auto near = [](int picture, int shown) { return qAbs(picture * (255 - 110) / 255 - shown) <= 3; };
    for (int i = 1; i < 64; ++i) {
        const QPoint at(part.width() * (i % 8) / 8, part.height() * (i / 8) / 8);
        const QRgb want = patternAt(part.x() + at.x(), part.y() + at.y()), got = screen.pixel(at);
        if (!near(qRed(want), qRed(got)) || !near(qGreen(want), qGreen(got)) || !near(qBlue(want), qBlue(got)))
            return false;
    }
    return true;
}

// Lets KWin know this test program through an installed desktop entry whose Exec is its binary,
// listing the screenshot interface or not (a new file each time, as a package manager writes it).
void enterThisProgramForKWin(bool listsScreenShot)
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/applications/";
    for (const QString& old : QDir(dir).entryList({QStringLiteral("quillo-ocr-test*")}))
        QFile::remove(dir + old);
    ASSERT_TRUE(writeFile(
        dir + QStringLiteral("quillo-ocr-test-%1.desktop").arg(listsScreenShot),
        "[Desktop Entry]\nType=Application\nName=Test\nExec=" + QCoreApplication::applicationFilePath().toUtf8() + "\n"
            + (listsScreenShot ? "X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2\n" : "")));
}

Shot grabThrough(ScreenImages& road)
{
    QObject context;
    std::optional<Shot> shot;
    road.grab(&context, [&](Shot answer) { shot = std::move(answer); });
    eventually([&] { return shot.has_value(); });
    return shot.value_or(Shot{});
}

// One output as the user sees it: grim on sway, KWin's own picture on KWin (one output there),
// which reads its desktop entries again a moment after they change.
QImage outputAsShown(const QString& output, const QString& file)
{
    if (onKWin) {
        KWinScreenShot kwin;
        const std::shared_ptr<const QImage> picture = grabThrough(kwin).image;
        return picture ? picture->convertToFormat(QImage::Format_RGB32) : QImage();
    }
    runProgram(QStringLiteral("grim"), {QStringLiteral("-o"), output, file});
    return QImage(file).convertToFormat(QImage::Format_RGB32);
}

class OCRCaptureWaylandTest : public ::testing::Test {
protected:
    DesktopSession session;
    QTemporaryDir files;

    void SetUp() override
    {
        ASSERT_TRUE(writeFile(HomeDir::dataDir() + QStringLiteral("/onboarded"), "1"));
        UserFlags::set("shortcutBindingGuideShown", true);
        UserFlags::set("noTrayNotified", true);
        UserFlags::set(UserFlags::upgradeAXPrompted, true);
    }

    QString portalLog() const { return files.filePath(QStringLiteral("portal.log")); }

    QProcess* startPortal(const QStringList& options)
    {
        QProcess* portal = session.start(
            "/usr/bin/python3", QStringList{QUILLO_TESTS_DIR "/support/fake_portal.py", portalLog()} + options);
        return portal && eventually(portalUp) ? portal : nullptr;
    }
    static bool portalUp() { return sessionBusNameOwned(QStringLiteral("org.freedesktop.portal.Desktop")); }

    // Quillo as the user starts it, except that grim is out of its reach: the portal answers.
    QProcess* startQuillo(QProcessEnvironment env = {})
    {
        env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/sbin:/sbin"));
        return session.startQuillo(QStringLiteral("wayland"), env);
    }

    static bool triggerScreenText() { return runProgram(quilloBinary(), arguments("--trigger-ocr")).exitCode == 0; }
    static QString ocrLog() { return QString::fromUtf8(readFile(HomeDir::dataDir() + "/ocr-debug.log")); }
};

TEST_F(OCRCaptureWaylandTest, TheOverlayShowsEachScreensPartOfThePortalsPictureAndEscapeEndsIt)
{
    // sway gets a second, smaller screen to the right; KWin's session has one, and KWin shows this test what is on it.
    QHash<QString, QRect> outputs{{QStringLiteral("HEADLESS-1"), QRect(0, 0, 1280, 800)}};
    if (onKWin)
        enterThisProgramForKWin(true);
    else if (runProgram("swaymsg", {"create_output"}).exitCode == 0
             && runProgram("swaymsg", {"output HEADLESS-2 mode 640x480 pos 1280 0"}).exitCode == 0)
        outputs.insert(QStringLiteral("HEADLESS-2"), QRect(1280, 0, 640, 480));
    ASSERT_EQ(outputs.size(), onKWin ? 1 : 2);
    const QString picture = files.filePath(QStringLiteral("desktop.png"));
    ASSERT_TRUE(savePattern({onKWin ? 1280 : 1920, 800}, picture));
    ASSERT_TRUE(startPortal({QStringLiteral("--screenshot"), picture}));
    QProcess* quillo = startQuillo();
    ASSERT_TRUE(quillo);
    const qint64 pid = quillo->processId();

    ASSERT_TRUE(triggerScreenText());
    ASSERT_TRUE(eventually([&] { return CompositorWindows::find(pid, overlayTitle).has_value(); }))
        << ocrLog().toStdString();
    for (auto output = outputs.cbegin(); output != outputs.cend(); ++output) {
        const QString file = files.filePath(output.key() + QStringLiteral(".png"));
        EXPECT_TRUE(eventually([&] { return showsVeiledPattern(outputAsShown(output.key(), file), output.value()); }))
            << output.key().toStdString() << " shows its part of the desktop's picture under the veil";
    }
    EXPECT_TRUE(readFile(portalLog()).contains("Screenshot parent=wayland: interactive=False"))
        << "asked without the portal's dialog, for a named parent: " << readFile(portalLog()).toStdString();

    ASSERT_TRUE(CompositorWindows::tapEscape());
    EXPECT_TRUE(eventually([&] { return !CompositorWindows::find(pid, overlayTitle); }))
        << "Escape reaches the overlay without a keyboard grab";
    EXPECT_TRUE(eventually([] { return ocrLog().contains(QStringLiteral("cancelled")); }));
}

TEST_F(OCRCaptureWaylandTest, KWinTakesScreenshotsOnlyForAProgramWhoseDesktopEntryListsTheInterface)
{
    if (!onKWin)
        GTEST_SKIP() << "KWin's own screenshot interface";
    enterThisProgramForKWin(false);
    KWinScreenShot kwin;
    Shot refused;
    EXPECT_TRUE(eventually([&] { return (refused = grabThrough(kwin)).outcome == Shot::Outcome::refused; }))
        << "refused while the entry does not list the interface";
    EXPECT_TRUE(!refused.image && kwin.state() == ScreenImages::State::refused);

    enterThisProgramForKWin(true);
    std::shared_ptr<const QImage> picture;
    ASSERT_TRUE(eventually([&] { return (picture = grabThrough(kwin).image) != nullptr; }))
        << "allowed once the entry lists org.kde.KWin.ScreenShot2";
    EXPECT_EQ(picture->size(), QSize(1280, 800));
}

TEST_F(OCRCaptureWaylandTest, APortalRefusalShowsTheGuideWhoseButtonAsksTheDesktopAgain)
{
    if (onKWin)
        GTEST_SKIP() << "the portal's refusal: tested once, in the sway session";
    ASSERT_TRUE(AtspiDriver::join());
    QProcess* refusing = startPortal({});
    ASSERT_TRUE(refusing);
    // Told it runs on GNOME, whose portal asks the user once.
    QProcessEnvironment gnome;
    gnome.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("GNOME"));
    gnome.insert(QStringLiteral("SWAYSOCK"), QString());
    QProcess* quillo = startQuillo(gnome);
    ASSERT_TRUE(quillo);
    const qint64 pid = quillo->processId();
    const QString header = L10n::t("ocr.perm.wayland.header");
    const QString body = L10n::tf("ocr.perm.wayland.body", {L10n::t("wayland.screen.fix.portal")});
    const QString allow = L10n::t("wayland.btn.allowScreen");

    ASSERT_TRUE(triggerScreenText());
    ASSERT_TRUE(eventually([&] { return AtspiDriver::shows(pid, header); })) << ocrLog().toStdString();
    EXPECT_EQ(AtspiDriver::textOf(pid, L10n::t("popup.a11y.message")), body) << "what to allow and where";
    EXPECT_FALSE(body.contains(QStringLiteral("X11")));

    // Asked again from the focused guide, the desktop says no again: the guide stays.
    ASSERT_TRUE(AtspiDriver::press(pid, allow));
    ASSERT_TRUE(eventually([&] { return readFile(portalLog()).count("Screenshot parent=") == 2; }));
    EXPECT_TRUE(eventually([&] { return AtspiDriver::shows(pid, header); }));

    // The user allows it this time.
    const QString picture = files.filePath(QStringLiteral("desktop.png"));
    ASSERT_TRUE(savePattern({1280, 800}, picture));
    DesktopSession::stop(refusing);
    ASSERT_TRUE(eventually([] { return !portalUp(); }));
    ASSERT_TRUE(startPortal({QStringLiteral("--screenshot"), picture}));
    ASSERT_TRUE(AtspiDriver::press(pid, allow));
    EXPECT_TRUE(eventually([&] { return AtspiDriver::shows(pid, L10n::t("ocr.perm.allowed.header")); }));
    EXPECT_TRUE(QFile::exists(picture)) << "a file the portal answered with but did not write stays";
}

}
