#include "windows/SettingsDrafts.h"

#include "settings/CloudProviders.h"

SettingsDrafts SettingsDrafts::from(const AppSettings& settings)
{
    SettingsDrafts drafts;
    const QString olderDefaultModel = AppSettings().doubaoModel;
    for (const CloudProvider& provider : CloudProviders::all()) {
        const QString key = settings.cloudKey(provider.id);
        if (!key.isEmpty())
            drafts.m_keys.insert(provider.id, key);
        QString model = settings.cloudModels.value(provider.id).trimmed();
        if (model.isEmpty() && provider.id == QLatin1String("doubao")) {
            const QString older = settings.doubaoModel.trimmed();
            if (older != olderDefaultModel)
                model = older;
        }
        if (!model.isEmpty())
            drafts.m_models.insert(provider.id, model);
    }
    return drafts;
}

QString SettingsDrafts::model(const QString& providerId) const
{
    return m_models.value(providerId, CloudProviders::find(providerId).defaultModel);
}

void SettingsDrafts::capture(const QString& providerId, const QString& key, const QString& model)
{
    const QString trimmedKey = key.trimmed();
    if (trimmedKey.isEmpty())
        m_keys.remove(providerId);
    else
        m_keys.insert(providerId, trimmedKey);
    const QString trimmedModel = model.trimmed();
    if (trimmedModel.isEmpty() || trimmedModel == CloudProviders::find(providerId).defaultModel)
        m_models.remove(providerId);
    else
        m_models.insert(providerId, trimmedModel);
}

void SettingsDrafts::writeTo(AppSettings& settings, const QString& activeProvider, const QString& customBaseURL) const
{
    settings.activeProvider = activeProvider;
    settings.cloudKeys = m_keys;
    settings.cloudModels = m_models;
    settings.customBaseURL = customBaseURL.trimmed();
    settings.doubaoApiKey.clear();
    settings.doubaoModel = AppSettings().doubaoModel;
}
