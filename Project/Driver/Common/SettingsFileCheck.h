#pragma once

#include <filesystem>
#include <optional>
#include <string>

// A settings file from elsewhere is taken only whole: where the reader of
// the user's own file falls back to defaults for anything it cannot use, an
// import first checks that the file holds exactly what a settings file
// holds. Each element named and in its place, sensitivities 0 to 9, six and
// four button mappings of known mapping ids with text for their macro keys,
// the scroll direction 0 or 1, and nothing else. What the settings file
// writes always passes.
//
// The first problem, as one line naming where it is ("line 4:
// pointerSensitivity '12' is not 0 to 9"); none for a sound file.
std::optional<std::string> SettingsFileProblem(const std::filesystem::path& file);
