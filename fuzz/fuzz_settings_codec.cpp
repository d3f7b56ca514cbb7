#include "fuzz/FuzzCheck.h"
#include "settings/SettingsCodec.h"

// config.json as anyone may have left it: whatever decodes is written back in a form that
// decodes to the very same settings, in the very same bytes every time.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::optional<AppSettings> settings = SettingsCodec::decode(fuzzBytes(data, size));
    if (!settings)
        return 0;
    const QByteArray encoded = SettingsCodec::encode(*settings);
    const std::optional<AppSettings> again = SettingsCodec::decode(encoded);
    FUZZ_CHECK(again && *again == *settings);
    FUZZ_CHECK(SettingsCodec::encode(*again) == encoded);
    return 0;
}
