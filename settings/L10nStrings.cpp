#include "settings/L10n.h"

namespace {

const L10n::Entry kEntries[] = {
    {"common.cancel", "取消", "Cancel"},
    {"common.save", "保存", "Save"},
    {"common.copy", "复制", "Copy"},
    {"common.delete", "删除", "Delete"},
    {"common.close", "关闭", "Close"},
    {"fontSize.small", "小", "Small"},
    {"fontSize.medium", "中", "Medium"},
    {"fontSize.large", "大", "Large"},
    {"fontSize.xlarge", "特大", "X-Large"},
    {"scenario.general", "通用", "General"},
    {"scenario.gongwen", "公文", "Official"},
    {"scenario.fanwen", "范文", "Polished"},
    {"scenario.zimeiti", "自媒体", "Social media"},
    {"scenario.email", "商务邮件", "Email"},
    {"scenario.xiaohongshu", "小红书", "Xiaohongshu"},
    {"scenario.xueshu", "学术", "Academic"},
    {"creativity.faithful", "忠于原文", "Faithful"},
    {"creativity.moderate", "适度", "Moderate"},
    {"creativity.creative", "自由创作", "Creative"},
    {"explain.plain", "大白话", "Plain"},
    {"explain.solve", "解题模式", "Step-by-step"},
    {"explain.pro", "专业深入", "In-depth"},
    {"explain.kid", "讲给孩子", "For a kid"},
    {"explain.points", "要点提炼", "Key points"},
    {"translate.dir.auto", "自动", "Auto"},
    {"translate.dir.zh", "译成中文", "Chinese"},
    {"translate.dir.en", "译成英文", "English"},
    {"translate.dir.ja", "日语", "Japanese"},
    {"translate.dir.ko", "韩语", "Korean"},
    {"translate.dir.fr", "法语", "French"},
    {"translate.dir.de", "德语", "German"},
    {"translate.dir.es", "西班牙语", "Spanish"},
    {"translate.dir.ru", "俄语", "Russian"},
    {"provider.doubao", "豆包", "Doubao"},
    {"provider.deepseek", "DeepSeek", "DeepSeek"},
    {"provider.openai", "ChatGPT", "ChatGPT"},
    {"provider.gemini", "Gemini", "Gemini"},
    {"provider.claude", "Claude", "Claude"},
    {"provider.kimi", "Kimi", "Kimi"},
    {"provider.qwen", "通义千问", "Qwen"},
    {"provider.glm", "智谱 GLM", "Zhipu GLM"},
    {"provider.grok", "Grok", "Grok"},
    {"provider.custom", "自定义（OpenAI 兼容）", "Custom (OpenAI-compatible)"},
    {"err.network", "连不上网，检查一下网络再试", "Can't reach the network — check your connection and try again"},
    {"err.timeout", "等太久超时了——内容太长或网络慢，重试一下", "Timed out — the text is long or the network is slow, try again"},
    {"err.cloudAuth", "密钥不对或没权限，去「设置」里检查一下", "Key is wrong or lacks access — check it in Settings"},
    {"err.cloudRateLimit", "被限流或余额不足了，待会再试，或先切到本地模型", "Rate-limited or out of credit — try later, or switch to the local model"},
    {"err.cloudOther", "云端模型暂时出错了，待会再试，或先切到本地模型", "Cloud model had a hiccup — try later, or switch to the local model"},
    {"err.ollamaNotRunning", "本地模型还没启动——去「设置」点一下「启动」", "Local model isn't running — open Settings and click Start"},
    {"err.qwenOther", "本地模型出了点问题，重试一下；老不行就切到云端模型", "Local model had a problem — try again, or switch to a cloud model"},
    {"err.unknown", "出了点问题，重试一下；老不行就换个引擎试试", "Something went wrong — try again, or switch the engine"},
    {"model.dl.downloading", "正在下载模型… %d%%", "Downloading model… %d%%"},
    {"kw.meta", "%@ · 来自 %@ · %@", "%@ · from %@ · %@"},
    {"popup.recall.fromMemory", "来自你的记忆 · 上次 %@（%@）", "From your memory · last %@ (%@)"},
    {"menu.engineLine", "%@ · 本地：%@", "%@ · Local: %@"},
    {"menu.hotkeyHint", "选中文字后按 %@", "Select text, then press %@"},
};

}

std::span<const L10n::Entry> L10n::entries()
{
    return kEntries;
}
