// Writing an image to a regular file (/BUILDOUTPUTMODE IMAGEFILE). The
// image is written to an unnamed file in the destination folder (a hidden
// one where the file system has no unnamed files), verified there when
// asked, and replaces `path` only when complete, so a failed or stopped run
// never leaves a half image under the name.
#pragma once

#include <iosfwd>
#include <string>

#include "tools/burn/burnjob.h"
#include "tools/burn/udfimage.h"

// BurnDone, BurnNoRoom when the folder has no room for the image (nothing
// is written), or BurnFailed.
TBurnExit WriteImageFile(const udf::TUdfImage &image, const std::string &path, bool verify, std::ostream &out,
                         std::ostream &err);
