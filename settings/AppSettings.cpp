#include "settings/AppSettings.h"

#include <cmath>

#include "core/KeyFormatter.h"
#include "settings/CloudProviders.h"

const QList<AppSettings::FontScaleStep>& AppSettings::fontScaleSteps()
{
    static const QList<FontScaleStep> steps = {
        {"fontSize.small", 0.85},
        {"fontSize.medium", 1.0},
        {"fontSize.large", 1.2},
        {"fontSize.xlarge", 1.45},
    };
    return steps;
}

QString AppSettings::hotKeyDisplay() const
{
    return KeyFormatter::format(hotKeyCode, hotKeyModifiers);
}

QString AppSettings::ocrHotKeyDisplay() const
{
    return KeyFormatter::format(ocrHotKeyCode, ocrHotKeyModifiers);
}

int AppSettings::fontScaleStepIndex() const
{
    const auto& steps = fontScaleSteps();
    for (int i = 0; i < steps.size(); ++i) {
        if (std::abs(steps[i].scale - fontScale) < 0.001)
            return i;
    }
    return 1;
}

QString AppSettings::cloudKey(const QString& providerId) const
{
    const QString key = cloudKeys.value(providerId).trimmed();
    if (key.isEmpty() && providerId == QLatin1String("doubao"))
        return doubaoApiKey.trimmed();
    return key;
}

QString AppSettings::cloudModel(const QString& providerId) const
{
    const QString model = cloudModels.value(providerId).trimmed();
    if (!model.isEmpty())
        return model;
    if (providerId == QLatin1String("doubao") && !doubaoModel.trimmed().isEmpty())
        return doubaoModel.trimmed();
    return CloudProviders::find(providerId).defaultModel;
}

bool AppSettings::activeCloudConfigured() const
{
    return !cloudKey(activeProvider).isEmpty();
}

bool AppSettings::anyCloudKeyConfigured() const
{
    if (!doubaoApiKey.trimmed().isEmpty())
        return true;
    for (const QString& key : cloudKeys) {
        if (!key.trimmed().isEmpty())
            return true;
    }
    return false;
}
