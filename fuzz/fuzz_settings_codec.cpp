#include "fuzz/FuzzCheck.h"
#include "settings/SettingsCodec.h"

// config.json as anyone may have left it: whatever decodes is written back in a form that
// decodes to the very same settings with nothing ignored, in the very same bytes every time.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::optional<SettingsCodec::Decoded> decoded = SettingsCodec::decode(fuzzBytes(data, size));
    if (!decoded)
        return 0;
    const QByteArray encoded = SettingsCodec::encode(decoded->settings);
    const std::optional<SettingsCodec::Decoded> again = SettingsCodec::decode(encoded);
    FUZZ_CHECK(again && again->settings == decoded->settings && again->ignoredKeys.isEmpty());
    FUZZ_CHECK(SettingsCodec::encode(again->settings) == encoded);
    return 0;
}
