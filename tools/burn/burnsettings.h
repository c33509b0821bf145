// The burner's own settings file, "imgburn.ini" beside its executable:
//
//   [imgburn]
//   Destination=stdio:/home/me/disc.img
//
// Destination is where /BUILDOUTPUTMODE DEVICE writes when no /DEST is
// given. Key names are matched in any letter case; lines starting with
// ";" or "#" are comments.
#pragma once

#include <string>

// The settings file beside the running program.
std::string BurnSettingsPath();

// The Destination of the settings file at `path`; empty when the file or
// the key is missing.
std::string ReadSettingsDestination(const std::string &path);
