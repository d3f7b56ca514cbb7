#pragma once

#include <QList>
#include <QMap>
#include <QString>

#include "settings/EngineChoice.h"

// The one record of user preferences. A plain value: copies are independent.
struct AppSettings {
    QString doubaoApiKey;
    QString doubaoModel = QStringLiteral("doubao-seed-2-0-pro-260215");
    QString activeProvider = QStringLiteral("doubao");
    QMap<QString, QString> cloudKeys;
    QMap<QString, QString> cloudModels;
    QString customBaseURL;
    QString qwenModel = QStringLiteral("qwen2.5:7b");
    bool useExternalOllama = false;
    quint32 hotKeyCode = defaultHotKeyCode;
    quint32 hotKeyModifiers = defaultHotKeyModifiers;
    quint32 ocrHotKeyCode = defaultOCRHotKeyCode;
    quint32 ocrHotKeyModifiers = defaultOCRHotKeyModifiers;
    EngineChoice explainEngine = EngineChoice::local;
    EngineChoice rewriteEngine = EngineChoice::cloud;
    EngineChoice translateEngine = EngineChoice::local;
    QString defaultTranslateDirection = QStringLiteral("auto");
    bool compareMode = true;
    QString defaultScenario = QStringLiteral("general");
    QString defaultCreativity = QStringLiteral("moderate");
    QString defaultExplainMode = QStringLiteral("plain");
    double fontScale = 1.0;
    bool autoRemember = true;
    bool profileEnabled = true;
    bool useContext = true;
    QString appLanguage = QStringLiteral("auto");
    // Ollama embedding model used for semantic recall.
    QString embeddingModel = QStringLiteral("bge-m3");
    // The longest one answer may take, however lively its stream (keep-alives included).
    quint32 answerDeadlineSeconds = 300;
    // Where the desktop hands keys out only with the user's leave (Wayland), Quillo types Ctrl+V
    // to paste an answer and Ctrl+C to copy a selection it cannot read otherwise.
    bool pasteForMe = false;

    static constexpr quint32 defaultHotKeyCode = 14;             // E
    static constexpr quint32 defaultHotKeyModifiers = 0x0900;    // Alt+Super
    static constexpr quint32 defaultOCRHotKeyCode = 1;           // S
    static constexpr quint32 defaultOCRHotKeyModifiers = 0x1800; // Ctrl+Alt

    struct FontScaleStep {
        const char* l10nKey;
        double scale;
    };
    static const QList<FontScaleStep>& fontScaleSteps();

    QString hotKeyDisplay() const;
    QString ocrHotKeyDisplay() const;
    int fontScaleStepIndex() const;

    QString cloudKey(const QString& providerId) const;
    QString cloudModel(const QString& providerId) const;
    bool activeCloudConfigured() const;
    bool anyCloudKeyConfigured() const;

    bool operator==(const AppSettings&) const = default;
};
