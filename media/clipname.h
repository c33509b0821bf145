// The names of clip files: ".m2ts" as AVCHD discs and copies name them,
// ".MTS" as a camcorder's memory card does (PRIVATE/AVCHD/BDMV/STREAM/
// 00000.MTS). One rule for the clip list, which accepts such files, and
// for the demultiplexer and the application, which name the streams of a
// disc after its first clip.
#pragma once

#include <cstddef>
#include <string_view>

// The length of the extension that makes `name` a clip's name: 5 for
// ".m2ts", 4 for ".mts", in any letter case; 0 for any other name.
inline size_t ClipExtensionLength(std::string_view name)
{
    const auto endsWith = [name](std::string_view lower) {
        if (name.size() < lower.size())
            return false;
        const std::string_view tail = name.substr(name.size() - lower.size());
        for (size_t i = 0; i < lower.size(); ++i) {
            const char c = tail[i] >= 'A' && tail[i] <= 'Z' ? char(tail[i] - 'A' + 'a') : tail[i];
            if (c != lower[i])
                return false;
        }
        return true;
    };
    if (endsWith(".m2ts"))
        return 5;
    if (endsWith(".mts"))
        return 4;
    return 0;
}

// How many characters the end of the first clip's file name loses to give
// the name of a disc's stream files ("00000.MTS" gives "00000.h264"): its
// clip extension, or five characters, the length of ".m2ts", for a name
// without one.
inline size_t StreamBaseCut(std::string_view name)
{
    const size_t extension = ClipExtensionLength(name);
    return extension > 0 ? extension : 5;
}
