// Whether the three outside tools the settings name are there.
#pragma once

#include "prefs/settings.h"

// True when eac3tofile, tsMuxerFile and ImgBurnFile all name existing files.
bool AllToolsPresent(const TSettings &settings);
