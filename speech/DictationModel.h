#pragma once

#include <optional>

#include <QString>

// Where the on-device speech model goes and whether dictation can run: the helper program, the
// engine library and a streaming zipformer transducer model unpacked into modelDir() (encoder,
// decoder and joiner .onnx files and tokens.txt, as the model's release archive holds them).
class DictationModel {
public:
    struct Files {
        QString encoder;
        QString decoder;
        QString joiner;
        QString tokens;
    };
    struct Status {
        bool available = false;
        QString modelDir;
        // When not available: the first file that is missing or unreadable (a pattern such as
        // ".../encoder*.onnx" for a model part).
        QString missing;
    };

    // ~/.local/share/quillo/dictation-model
    static QString modelDir();
    // quillo-dictation beside the running program.
    static QString helperProgram();
    static Status status();
    // The model's files, or nothing with the first missing one in `missing`.
    static std::optional<Files> files(QString* missing = nullptr);
};
