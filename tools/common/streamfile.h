// An elementary stream file read front to back in large pieces: its reader
// looks at the bytes buffered and consumes them from the front. Failures
// throw std::runtime_error naming the file; each read first checks the
// stop flag, so a long read ends soon after SIGTERM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TStreamFile
{
public:
    // Throws when the file cannot be opened.
    TStreamFile(const std::string &path, size_t readSize);
    ~TStreamFile();
    TStreamFile(const TStreamFile &) = delete;
    TStreamFile &operator=(const TStreamFile &) = delete;

    // Reads one more piece behind the unread bytes; false at the end of the
    // file.
    bool ReadMore();
    // Reads until `bytes` bytes are buffered or the file ends; true when
    // they are.
    bool Ensure(size_t bytes);

    const uint8_t *Data() const { return FBuffer.data() + FBegin; }
    size_t Available() const { return FEnd - FBegin; }
    void Consume(size_t bytes) { FBegin += bytes; }
    // Forgets the last `bytes` bytes read, known to be of no use.
    void DropBack(size_t bytes) { FEnd -= bytes; }
    bool AtEnd() const { return FAtEnd; }

    const std::string &Path() const { return FPath; }
    uint64_t FileSize() const { return FFileSize; }
    uint64_t BytesRead() const { return FBytesRead; }

private:
    std::string FPath;
    size_t FReadSize;
    int FFd = -1;
    std::vector<uint8_t> FBuffer;
    size_t FBegin = 0;  // first unread byte
    size_t FEnd = 0;  // end of the bytes read
    bool FAtEnd = false;
    uint64_t FFileSize = 0;
    uint64_t FBytesRead = 0;
};
