// Writing an image to a drive through libburn: an optical drive, or a
// "stdio:/path" pseudo-drive that is a regular file.
#pragma once

#include <cstdint>
#include <string>

#include "tools/burn/udfimage.h"

class TConsole;

namespace burn {
struct burn_drive;
struct burn_drive_info;
}  // namespace burn

class TDiscWriter
{
public:
    explicit TDiscWriter(TConsole &console);
    ~TDiscWriter();
    TDiscWriter(const TDiscWriter &) = delete;
    TDiscWriter &operator=(const TDiscWriter &) = delete;

    // Grabs the drive at `address` ("stdio:/path", "/dev/sr0"), or the first
    // optical drive when it is empty. A stdio file is created when missing.
    bool Open(const std::string &address);
    // Checks for a blank writable medium; with `wait`, keeps looking until
    // one is inserted, saying what it waits for.
    bool WaitForBlank(bool wait);
    // Refuses before writing when the medium cannot hold `bytes`.
    bool CheckRoom(uint64_t bytes);
    // Writes the image; a stdio file is emptied first, since libburn never
    // shortens a longer file.
    bool Write(const udf::TUdfImage &image);
    // Reads the written image back and compares it with the sources.
    bool Verify(const udf::TUdfImage &image);
    // Lets the drive go, ejecting the medium when asked.
    void Release(bool eject);

    const std::string &Address() const { return FAddress; }

private:
    bool CheckStdioFile(const std::string &path);
    bool EmptyStdioFile();
    bool Grab(const std::string &address);

    TConsole &FConsole;
    bool FInitialized = false;
    burn::burn_drive_info *FInfos = nullptr;
    burn::burn_drive *FDrive = nullptr;
    std::string FAddress;
    std::string FStdioFile;  // the regular file behind a stdio: address
};
