#include "tests/support/RunProgram.h"

#include <QProcess>

ProgramResult runProgram(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                         const QByteArray& input, int timeoutMs)
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
    result.crashed = process.exitStatus() != QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QString quilloBinary()
{
    return QStringLiteral(QUILLO_BIN_DIR "/quillo");
}
