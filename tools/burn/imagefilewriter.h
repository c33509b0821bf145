// Writing an image to a regular file (/BUILDOUTPUTMODE IMAGEFILE). The
// image is written to an unnamed file in the destination folder (a hidden
// one where the file system has no unnamed files), verified there when
// asked, and replaces `path` only when complete, so a failed or stopped run
// never leaves a half image under the name.
#pragma once

#include <string>

#include "tools/burn/udfimage.h"

class TConsole;

// False when it failed, told on the console: a folder without room for the
// image is told with esNoRoom, and nothing is written.
bool WriteImageFile(const udf::TUdfImage &image, const std::string &path, bool verify, TConsole &console);
