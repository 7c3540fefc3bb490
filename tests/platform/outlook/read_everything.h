// Reading a whole store the way a conversion does, for the tests that feed
// the store access bad or damaged files.
#pragma once

#include "platform/outlook/outlook.h"

#include <filesystem>
#include <functional>

namespace norvexa::testing {

// Reads everything a conversion reads from STORE: every folder (name, kind,
// path, entry identifier, reopened by that identifier), every item's values,
// and every attachment's name and bytes (saved into SCRATCH).
//
// With ON_ERROR empty, the first OutlookError ends the read and reaches the
// caller. Otherwise each OutlookError goes to ON_ERROR and the read goes on
// with the next folder, item or attachment, as a conversion run does.
// Exceptions of other types always reach the caller.
void ReadEverything(const outlook::Store& store, const std::filesystem::path& scratch,
                    const std::function<void(const outlook::OutlookError&)>& on_error = {});

}  // namespace norvexa::testing
