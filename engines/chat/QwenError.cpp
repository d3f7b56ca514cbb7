#include "engines/chat/QwenError.h"

QString QwenError::description() const
{
    switch (kind) {
    case Kind::modelNotReady:
        return QStringLiteral("本地 Qwen 模型「") + model
            + QStringLiteral("」还没就绪（可能仍在下载）。下载完成后即可使用。");
    case Kind::httpError: return QStringLiteral("本地模型返回错误（HTTP %1）：").arg(status) + text;
    case Kind::decodingFailed: return QStringLiteral("解析本地模型返回失败：") + text;
    case Kind::ollamaNotRunning:
        return QStringLiteral("本地模型服务（Ollama）没在运行。请确认 Ollama 已启动，或稍等模型下载完成。");
    case Kind::emptyResponse: return QStringLiteral("本地模型返回了空内容。");
    case Kind::notAnswering: return QStringLiteral("本地模型服务（Ollama）收下了请求，但一直没有回答。");
    case Kind::answerCutOff: return QStringLiteral("本地模型的回答没有说完就中断了。");
    }
    return {};
}
