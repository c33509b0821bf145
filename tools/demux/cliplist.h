// The clip list of the command line: paths joined by "+" in one argument,
// split back against the files that exist (a path may itself hold "+").
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace demux {

struct TClipList
{
    std::vector<std::string> Paths;  // in the order given
    std::string Unresolved;  // first part naming no file, when the split fails
    bool Ok() const { return Unresolved.empty() && !Paths.empty(); }
};

// Splits `joined` at "+" signs so that every part names an existing regular
// file. Among several valid splits the one with the shortest first parts is
// taken. When none exists, Unresolved holds the text from the furthest point
// that could be reached up to the next "+" (the clip that is missing).
// Parts longer than a path can be are not tried, so the work grows with the
// number of clips, not with its square. `isFile` tells whether a part names
// a regular file (tests count the calls).
bool IsRegularFile(const std::string &path);
TClipList ResolveClipList(const std::string &joined,
                          const std::function<bool(const std::string &)> &isFile = IsRegularFile);

// The file name of `path` (after its last "/") less its clip extension
// (".m2ts" or ".mts"; five characters for a name without one): the prefix
// of every stream file written for the disc.
std::string StreamBaseOf(const std::string &path);

}  // namespace demux
