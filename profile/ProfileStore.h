#pragma once

#include <optional>

#include <QString>

#include "profile/UserProfile.h"

// The profile file: SELVANE_PROFILE_FILE when set and not empty, else ~/.selvane/profile.json.
// Written whole and atomically with mode 0600; one lock orders every operation in the process.
class ProfileStore {
public:
    static QString path();

    // Nothing when the file is missing, unreadable or no JSON object; a field that cannot be read
    // keeps its default alone.
    static std::optional<UserProfile> load();

    // False when it could not be written. A file that exists but cannot be read in full is first
    // kept aside ("profile.json.corrupt-<UTC time>"; moved, or copied when part of it was read),
    // never silently replaced, and the user is told. A link is written through, and stays.
    static bool save(const UserProfile& profile);

    // Saves a generated profile unless the stored one is the user's own, in one step, so an edit
    // saved at the same moment is never overwritten. False when not saved.
    static bool saveGenerated(const UserProfile& profile);

    // Deletes the file; a failure is ignored.
    static void clear();
};
