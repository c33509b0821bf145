#include "tools/common/streamfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "tools/common/stopflag.h"

TStreamFile::TStreamFile(const std::string &path, size_t readSize) : FPath(path), FReadSize(readSize)
{
    FFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (FFd < 0)
        throw std::runtime_error("cannot open \"" + path + "\": " + std::strerror(errno));
    struct stat st
    { };
    if (::fstat(FFd, &st) == 0)
        FFileSize = uint64_t(st.st_size);
    ::posix_fadvise(FFd, 0, 0, POSIX_FADV_SEQUENTIAL);
}

TStreamFile::~TStreamFile()
{
    if (FFd >= 0)
        ::close(FFd);
}

bool TStreamFile::ReadMore()
{
    if (FAtEnd)
        return false;
    ThrowIfStopRequested();
    if (FBegin > 0) {
        std::memmove(FBuffer.data(), FBuffer.data() + FBegin, FEnd - FBegin);
        FEnd -= FBegin;
        FBegin = 0;
    }
    if (FBuffer.size() < FEnd + FReadSize)
        FBuffer.resize(FEnd + FReadSize);
    for (;;) {
        const ssize_t n = ::read(FFd, FBuffer.data() + FEnd, FReadSize);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw std::runtime_error("cannot read \"" + FPath + "\": " + std::strerror(errno));
        FAtEnd = n == 0;
        FEnd += size_t(n);
        FBytesRead += uint64_t(n);
        return n > 0;
    }
}

bool TStreamFile::Ensure(size_t bytes)
{
    while (Available() < bytes && ReadMore()) {
    }
    return Available() >= bytes;
}
