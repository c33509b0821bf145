// An output file written so that nothing half-written is ever left under
// its name: the data goes to an unnamed file in the target folder
// (O_TMPFILE), or to a hidden temporary name where the file system lacks
// that, and only Publish() gives it its final name. Destroying an
// unpublished file discards it; a killed process leaves nothing behind in
// the O_TMPFILE case. Finish() does everything that can fail for lack of
// room first, so that several files can be finished and then published
// together. Hidden names are removed on SIGTERM and SIGINT once
// InstallInterruptCleanup() ran.
//
// Failures never throw: every call says false from the first failure on,
// and Error() tells what failed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TOutputFile
{
public:
    TOutputFile() = default;
    ~TOutputFile();
    TOutputFile(const TOutputFile &) = delete;
    TOutputFile &operator=(const TOutputFile &) = delete;

    // Starts the file that Publish() will name `path`. False with Error() set
    // when the folder cannot be written.
    bool Open(const std::string &path);
    // Buffers and writes.
    bool Write(const uint8_t *data, size_t size);
    // Room for `size` bytes (at most the buffer's 4 MiB) at the end of the
    // buffer, to be filled in place. Always usable: once writing failed, what
    // is put there is dropped and Error() tells why.
    uint8_t *Reserve(size_t size)
    {
        if (FUsed + size > FBuffer.size())
            FlushForReserve();
        uint8_t *room = FBuffer.data() + FUsed;
        FUsed += size;
        FBytes += size;
        return room;
    }
    // Moves on by `size` zero bytes without writing them, leaving a hole.
    bool Skip(uint64_t size);
    // Reads back `size` bytes written from `offset` on, before the file is
    // finished; false on a read failure or a file shorter than asked.
    bool ReadBack(uint64_t offset, uint8_t *data, size_t size);
    // Writes out what is buffered and waits until it is on the device.
    bool Sync();
    // Writes out what is buffered and closes the file under a hidden name.
    bool Finish();
    // Gives finished files their final names, replacing older files there:
    // either every file takes its name, or none does and the files already
    // under those names stay. False with Error() set on the file at fault.
    static bool PublishTogether(const std::vector<TOutputFile *> &files);
    bool Publish() { return PublishTogether({this}); }
    void Discard();

    const std::string &Path() const { return FPath; }
    // The first failure, with the file and the system's reason; empty while
    // all went well.
    const std::string &Error() const { return FError; }
    // The system's error number behind Error(), for callers with messages of
    // their own.
    int ErrorNumber() const { return FErrorNumber; }
    uint64_t BytesWritten() const { return FBytes; }
    // The open file, for reading it back by other means; -1 when closed.
    int Descriptor() const { return FFd; }

private:
    bool Flush();
    void FlushForReserve();
    bool WriteOut();
    void SetTempPath(const std::string &path);
    bool WriteAll(const uint8_t *data, size_t size);
    bool Fail(const std::string &what, int err);

    std::string FPath;
    std::string FTempPath;  // named temporary file, when O_TMPFILE is not available
    std::string FError;
    int FErrorNumber = 0;
    std::vector<uint8_t> FBuffer;
    size_t FUsed = 0;
    uint64_t FBytes = 0;
    bool FSkipped = false;  // skipped since the last write-out: the file may end in a hole
    int FFd = -1;
};

// Removes the hidden files of unfinished output files when the program is
// stopped by SIGTERM or SIGINT, then stops it as the signal would. With
// `requestStop`, the first signal only calls it, for a program that stops
// by itself and cleans up what it wrote; a second signal stops it at once.
void InstallInterruptCleanup(void (*requestStop)() = nullptr);
