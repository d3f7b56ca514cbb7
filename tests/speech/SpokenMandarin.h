#pragma once

#include <QProcess>
#include <QTemporaryDir>

#include "tests/support/Files.h"
#include "tests/support/RunProgram.h"

// Pinyin with tone digits spoken by espeak-ng, as 16 kHz mono signed 16-bit samples: real
// speech with real pauses, though too synthetic to measure recognition accuracy by.
inline QByteArray spokenMandarin(const QString& pinyin)
{
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("speech.wav"));
    const QString raw = dir.filePath(QStringLiteral("speech.raw"));
    QProcess::execute(QStringLiteral("espeak-ng"), arguments("-v cmn-latn-pinyin -w") << wav << pinyin);
    QProcess::execute("sox", QStringList{wav} + arguments("-r 16000 -c 1 -b 16 -e signed-integer -t raw") << raw);
    return readFile(raw);
}
