#pragma once

#include <QProcess>

// What a program printed, and how it ended.
struct ProgramResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a program to its end, with the input on its standard input.
inline ProgramResult runProgram(const QString& program, const QStringList& args,
                                const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                                const QByteArray& input = {}, int timeoutMs = 60000)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, args);
    ProgramResult result;
    if (!process.waitForStarted())
        return result;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
    }
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

// A command line's arguments written as one string: the words between its spaces.
inline QStringList arguments(const char* line)
{
    return QString::fromUtf8(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

inline QString quilloBinary()
{
    return QStringLiteral(QUILLO_BIN_DIR "/quillo");
}

inline bool sessionBusNameOwned(const QString& name)
{
    return runProgram(QStringLiteral("dbus-send"),
                      arguments("--session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus "
                                "org.freedesktop.DBus.NameHasOwner")
                          << QStringLiteral("string:") + name)
        .out.contains("true");
}

// Whether a Quillo owns its name on the session bus, i.e. the tray application is up.
inline bool quilloOnSessionBus()
{
    return sessionBusNameOwned(QStringLiteral("org.quillo.Quillo"));
}
