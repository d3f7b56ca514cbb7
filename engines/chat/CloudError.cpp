#include "engines/chat/CloudError.h"

QString CloudError::description() const
{
    switch (kind) {
    case Kind::missingConfigFile:
        return QStringLiteral("找不到配置文件 ") + path + QStringLiteral("。请在「设置」里填入你的云端 API Key。");
    case Kind::malformedConfig:
        return QStringLiteral("配置文件 ") + path + QStringLiteral(" 格式有误：") + text + QStringLiteral("。");
    case Kind::missingApiKey:
        return QStringLiteral("配置文件 ") + path
            + QStringLiteral(" 里缺少当前云端模型的 API Key（或为空）。请在「设置」里填入。");
    case Kind::httpError: return QStringLiteral("云端接口返回错误（HTTP %1）：").arg(status) + text;
    case Kind::decodingFailed: return QStringLiteral("解析云端返回失败：") + text;
    case Kind::missingBaseURL: return QStringLiteral("自定义模型还没填「接口地址」，请在「设置」里补上。");
    case Kind::invalidEndpoint: return QStringLiteral("云端接口地址无效。");
    case Kind::emptyResponse: return QStringLiteral("云端返回了空内容。");
    case Kind::answerCutOff: return QStringLiteral("云端的回答没有说完就中断了。");
    }
    return {};
}
