// Names of stream formats for the codec texts: the four characters of a
// video four-character code and the name of an audio wave-format tag.
#pragma once

#include <QByteArray>

#include <cstdint>

// The four bytes of code, lowest first, as characters; "" when one of them
// is below 32.
QByteArray FourCCText(std::uint32_t code);

// The name of a wave-format tag ("PCM", "AC3", "MPEG Audio" ...); "" for a
// tag not in the table.
QByteArray WaveFormatName(std::uint16_t tag);
