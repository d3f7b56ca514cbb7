#include "settings/CloudProviders.h"

#include "settings/L10n.h"

const QList<CloudProvider>& CloudProviders::all()
{
    static const QList<CloudProvider> providers = {
        {QStringLiteral("doubao"), QStringLiteral("provider.doubao"),
         QStringLiteral("https://ark.cn-beijing.volces.com/api/v3/chat/completions"),
         QStringLiteral("doubao-seed-2-0-pro-260215"),
         QStringLiteral("https://console.volcengine.com/ark/region:ark+cn-beijing/apiKey")},
        {QStringLiteral("deepseek"), QStringLiteral("provider.deepseek"),
         QStringLiteral("https://api.deepseek.com/chat/completions"), QStringLiteral("deepseek-chat"),
         QStringLiteral("https://platform.deepseek.com/api_keys")},
        {QStringLiteral("openai"), QStringLiteral("provider.openai"),
         QStringLiteral("https://api.openai.com/v1/chat/completions"), QStringLiteral("gpt-4o-mini"),
         QStringLiteral("https://platform.openai.com/api-keys")},
        {QStringLiteral("gemini"), QStringLiteral("provider.gemini"),
         QStringLiteral("https://generativelanguage.googleapis.com/v1beta/openai/chat/completions"),
         QStringLiteral("gemini-2.5-flash"), QStringLiteral("https://aistudio.google.com/app/apikey")},
        {QStringLiteral("claude"), QStringLiteral("provider.claude"),
         QStringLiteral("https://api.anthropic.com/v1/chat/completions"), QStringLiteral("claude-sonnet-4-6"),
         QStringLiteral("https://platform.claude.com/settings/keys")},
        {QStringLiteral("kimi"), QStringLiteral("provider.kimi"),
         QStringLiteral("https://api.moonshot.cn/v1/chat/completions"), QStringLiteral("moonshot-v1-8k"),
         QStringLiteral("https://platform.moonshot.cn/console/api-keys")},
        {QStringLiteral("qwen"), QStringLiteral("provider.qwen"),
         QStringLiteral("https://dashscope.aliyuncs.com/compatible-mode/v1/chat/completions"),
         QStringLiteral("qwen-plus"), QStringLiteral("https://bailian.console.aliyun.com/?tab=model#/api-key")},
        {QStringLiteral("glm"), QStringLiteral("provider.glm"),
         QStringLiteral("https://open.bigmodel.cn/api/paas/v4/chat/completions"), QStringLiteral("glm-4-flash"),
         QStringLiteral("https://bigmodel.cn/usercenter/proj-mgmt/apikeys")},
        {QStringLiteral("grok"), QStringLiteral("provider.grok"),
         QStringLiteral("https://api.x.ai/v1/chat/completions"), QStringLiteral("grok-3-mini"),
         QStringLiteral("https://console.x.ai/team/default/api-keys")},
        {QStringLiteral("custom"), QStringLiteral("provider.custom"), {}, {}, {}},
    };
    return providers;
}

const CloudProvider& CloudProviders::find(const QString& id)
{
    const auto& providers = all();
    for (const CloudProvider& provider : providers) {
        if (provider.id == id)
            return provider;
    }
    for (const CloudProvider& provider : providers) {
        if (provider.id == defaultId())
            return provider;
    }
    return providers.first();
}

QString CloudProviders::displayName(const QString& id)
{
    return L10n::t(find(id).l10nKey);
}
