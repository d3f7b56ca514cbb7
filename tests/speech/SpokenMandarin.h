#pragma once

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

// Pinyin with tone digits spoken by espeak-ng, as 16 kHz mono signed 16-bit samples: real
// speech with real pauses, though too synthetic to measure recognition accuracy by.
inline QByteArray spokenMandarin(const QString& pinyin)
{
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("speech.wav"));
    const QString raw = dir.filePath(QStringLiteral("speech.raw"));
    QProcess::execute(QStringLiteral("espeak-ng"),
                      {QStringLiteral("-v"), QStringLiteral("cmn-latn-pinyin"), QStringLiteral("-w"), wav, pinyin});
    QProcess::execute(QStringLiteral("sox"),
                      QStringList{wav} + QStringLiteral("-r 16000 -c 1 -b 16 -e signed-integer -t raw").split(u' ')
                          + QStringList{raw});
    QFile file(raw);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
