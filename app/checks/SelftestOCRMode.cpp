#include "app/Modes.h"

#include <optional>

#include <QEventLoop>
#include <QImage>
#include <QTimer>

#include "app/checks/CheckList.h"
#include "ocr/OCRDebugLog.h"
#include "ocr/ScreenOCR.h"
#include "ocr/TextSample.h"

namespace {

using Result = ScreenTextCapture::Result;

// A recognition may load the models first (~0.5 s on a slow machine).
constexpr int recognitionTimeoutMs = 20000;

std::optional<Result> recognize(const QImage& image)
{
    std::optional<Result> result;
    QEventLoop loop;
    QObject context;
    ScreenOCR::recognize(image, &context, [&](Result answer) {
        result = answer;
        loop.quit();
    });
    QTimer::singleShot(recognitionTimeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return result;
}

int selftestOCR(const QStringList&)
{
    const QStringList paragraph = {QStringLiteral("屏幕取字：框选一块区域，"),
                                   QStringLiteral("Quillo reads the text in it."),
                                   QStringLiteral("识别在本机完成 2024 年不上传。")};
    const ThrowAwayHome home;
    CheckList checks;

    const std::optional<Result> read = recognize(TextSample::render(paragraph, 16));
    if (checks.check(read && read->kind == Result::Kind::text,
                     QStringLiteral("a rendered Chinese and English paragraph gives text"))) {
        checks.note(QString(read->text).replace(QLatin1Char('\n'), QStringLiteral(" ⏎ ")));
        const double errorRate = TextSample::errorRate(read->text, paragraph.join(QLatin1Char('\n')));
        checks.check(errorRate <= 0.03,
                     QStringLiteral("character error rate %1 % (at most 3 %)").arg(errorRate * 100, 0, 'f', 1));
        const QStringList lines = read->text.split(QLatin1Char('\n'));
        checks.check(lines.size() == 3 && lines[0].startsWith(QStringLiteral("屏幕"))
                         && lines[1].startsWith(QStringLiteral("Quillo"))
                         && lines[2].startsWith(QStringLiteral("识别")),
                     QStringLiteral("the three lines in reading order"));
    }

    QImage blank(480, 90, QImage::Format_RGB32);
    blank.fill(Qt::white);
    const std::optional<Result> empty = recognize(blank);
    checks.check(empty && empty->kind == Result::Kind::noText, QStringLiteral("a blank image gives no text"));

    OCRDebugLog::flush();
    return checks.finish("OCR_SELFTEST_PASS", "OCR_SELFTEST_FAIL");
}

}

const Mode selftestOCRMode = {AppObject::gui, nullptr, "check screen text recognition", selftestOCR};
