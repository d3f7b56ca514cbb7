#pragma once

#include <QString>

// Failures of the cloud engine client, each with its fixed description.
struct CloudError {
    enum class Kind {
        missingConfigFile,
        malformedConfig,
        missingApiKey,
        httpError,
        decodingFailed,
        missingBaseURL,
        invalidEndpoint,
        emptyResponse,
        answerCutOff,
    };

    Kind kind = Kind::invalidEndpoint;
    QString path;   // the settings file: missingConfigFile, malformedConfig, missingApiKey
    int status = 0; // httpError
    QString text;   // httpError: the body or the stream's message; malformedConfig, decodingFailed: the reason

    static CloudError missingConfigFile(const QString& path) { return {Kind::missingConfigFile, path, 0, {}}; }
    static CloudError malformedConfig(const QString& path, const QString& reason)
    {
        return {Kind::malformedConfig, path, 0, reason};
    }
    static CloudError missingApiKey(const QString& path) { return {Kind::missingApiKey, path, 0, {}}; }
    static CloudError httpError(int status, const QString& body) { return {Kind::httpError, {}, status, body}; }
    static CloudError decodingFailed(const QString& reason) { return {Kind::decodingFailed, {}, 0, reason}; }
    static CloudError missingBaseURL() { return {Kind::missingBaseURL, {}, 0, {}}; }
    static CloudError invalidEndpoint() { return {Kind::invalidEndpoint, {}, 0, {}}; }
    static CloudError emptyResponse() { return {Kind::emptyResponse, {}, 0, {}}; }
    // The answer began but its stream ended without "[DONE]" or a finish reason.
    static CloudError answerCutOff() { return {Kind::answerCutOff, {}, 0, {}}; }

    QString description() const;

    bool operator==(const CloudError&) const = default;
};
