#pragma once

#include <QString>

// Failures of the local engine client, each with its fixed description.
struct QwenError {
    enum class Kind {
        modelNotReady,
        httpError,
        decodingFailed,
        ollamaNotRunning,
        emptyResponse,
        notAnswering,
        answerCutOff
    };

    Kind kind = Kind::ollamaNotRunning;
    QString model;  // modelNotReady
    int status = 0; // httpError
    QString text;   // httpError: the body or the stream's message; decodingFailed: the reason

    static QwenError modelNotReady(const QString& model) { return {Kind::modelNotReady, model, 0, {}}; }
    static QwenError httpError(int status, const QString& body) { return {Kind::httpError, {}, status, body}; }
    static QwenError decodingFailed(const QString& reason) { return {Kind::decodingFailed, {}, 0, reason}; }
    static QwenError ollamaNotRunning() { return {Kind::ollamaNotRunning, {}, 0, {}}; }
    static QwenError emptyResponse() { return {Kind::emptyResponse, {}, 0, {}}; }
    // The engine took the request and never began to answer.
    static QwenError notAnswering() { return {Kind::notAnswering, {}, 0, {}}; }
    // The answer began but its stream ended before the engine said it was done.
    static QwenError answerCutOff() { return {Kind::answerCutOff, {}, 0, {}}; }

    QString description() const;

    bool operator==(const QwenError&) const = default;
};
