// Fitting the volume label to UDF.
#include "tools/burn/volumelabel.h"

namespace {
// The logical volume identifier is a 128-byte dstring: its last byte holds
// the length, leaving 127 for the compression identifier and characters.
constexpr size_t kLabelBytes = 127;
}  // namespace

TVolumeLabel MakeVolumeLabel(const std::string &utf8)
{
    TVolumeLabel label;
    size_t replaced = udf::Utf8ToUcs2(utf8, label.Text);
    for (char16_t &ch : label.Text) {
        if (ch < 0x20 || ch == 0x7F) {
            ch = u'_';
            ++replaced;
        }
    }
    if (replaced)
        label.Notes.push_back("The volume label holds " + std::to_string(replaced)
                              + " character(s) UDF cannot store; each was replaced by \"_\".");
    size_t fit = udf::CharsThatFit(label.Text, kLabelBytes);
    if (fit < label.Text.size()) {
        label.Text.resize(fit);
        label.Notes.push_back("The volume label is too long for UDF; it was cut to " + std::to_string(fit)
                              + " characters: \"" + udf::Ucs2ToUtf8(label.Text) + "\".");
    }
    return label;
}
