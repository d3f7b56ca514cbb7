#include "fuzz/FuzzCheck.h"
#include "profile/UserProfile.h"

// profile.json: whatever decodes is written in a form that decodes again and, from then on, is
// written in the same bytes (a default date may lose its fraction of a second once).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::optional<UserProfile> profile = UserProfile::decode(fuzzBytes(data, size));
    if (!profile)
        return 0;
    const QByteArray encoded = profile->encode();
    const std::optional<UserProfile> again = UserProfile::decode(encoded);
    FUZZ_CHECK(again);
    FUZZ_CHECK(again->text == profile->text && again->userEdited == profile->userEdited
               && again->basedOnCount == profile->basedOnCount && again->generatedAtCount == profile->generatedAtCount);
    FUZZ_CHECK(again->encode() == encoded);
    return 0;
}
