// Reads a patch file (JSON) into the patch model. Every fault of form (malformed JSON, a missing
// or mistyped field, an unknown key, a negative duration) is a PatchError naming its place;
// whether names refer to real plug-ins and pins is checked later, by binding.
#pragma once

#include <filesystem>
#include <string>

#include "patch.h"

namespace patch {

// Throws PatchError; the file name heads the message.
Patch readPatchFile(const std::filesystem::path& file);

// The same for a text already in memory; `file` only anchors relative paths and names messages.
Patch parsePatch(const std::string& text, const std::filesystem::path& file);

}  // namespace patch
