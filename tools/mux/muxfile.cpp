#include "tools/mux/muxfile.h"

#include <cstring>
#include <stdexcept>

#include "tools/common/outputfile.h"

void ThrowOnFailure(bool ok, const TOutputFile &file, const char *failing)
{
    if (!ok)
        throw std::runtime_error(std::string(failing) + " \"" + file.Path()
                                 + "\": " + std::strerror(file.ErrorNumber()));
}

void WriteWholeFile(const std::string &path, const std::vector<uint8_t> &data)
{
    TOutputFile file;
    ThrowOnFailure(file.Open(path), file, "cannot create");
    ThrowOnFailure(file.Write(data.data(), data.size()) && file.Finish() && file.Publish(), file);
}
