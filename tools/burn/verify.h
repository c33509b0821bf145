// Reading a written image back and comparing it with what it was made of:
// every file byte for byte with its source, and the file system's own
// structures. A difference fails the burn with the file named.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "tools/burn/udfimage.h"

class TConsole;

// Reads `size` bytes of what was written, from `offset` on; false when they
// cannot be read.
using TReadWritten = std::function<bool(uint64_t offset, uint8_t *data, size_t size)>;

// `where` names what was written to in the messages ("the disc in
// /dev/sr0", "the image file"). The progress, and the difference or the read
// failure as an error, go to the console.
bool VerifyWritten(const udf::TUdfImage &image, const std::string &where, const TReadWritten &readWritten,
                   TConsole &console);

// A test's hand on what was written: when set, called with a descriptor
// open for reading and writing on the written image (an image file, or the
// file behind a stdio: drive) just before it is read back, so that a test
// can change a byte there and see the verification fail. The program never
// sets it.
using TBeforeVerifyHook = std::function<void(int fd)>;
void SetBeforeVerifyHook(TBeforeVerifyHook hook);
void RunBeforeVerifyHook(int fd);
