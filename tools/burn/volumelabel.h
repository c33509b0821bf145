// The volume label as UDF can store it, with a note for each change made.
#pragma once

#include <string>
#include <vector>

#include "tools/burn/udfprimitives.h"

struct TVolumeLabel
{
    udf::TUcs2 Text;  // what goes on the disc
    std::vector<std::string> Notes;  // what was changed, for the output
};

// The logical volume identifier holds 126 characters of 8 bits, or 63 when
// a character needs 16; characters outside the Basic Multilingual Plane,
// control characters and malformed UTF-8 cannot be stored and become "_".
TVolumeLabel MakeVolumeLabel(const std::string &utf8);
