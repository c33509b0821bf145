// Writing an image to a regular file (/BUILDOUTPUTMODE IMAGEFILE). The
// image goes to "{path}.part" first and replaces `path` only when
// complete, so a failed run never leaves a half image under the name.
#pragma once

#include <iosfwd>
#include <string>

#include "udfimage.h"

bool WriteImageFile(const udf::TUdfImage& image, const std::string& path, bool verify, std::ostream& out,
                    std::ostream& err);
