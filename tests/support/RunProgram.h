#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QStringList>

// Runs a program to its end and collects what it printed.
struct ProgramResult {
    int exitCode = -1;
    bool crashed = false;
    QByteArray out;
    QByteArray err;
};

ProgramResult runProgram(const QString& program, const QStringList& args,
                         const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                         const QByteArray& input = {}, int timeoutMs = 60000);

// The quillo executable of this build.
QString quilloBinary();
