#include "tools/demux/cliplist.h"

#include "media/clipname.h"

#include <sys/stat.h>

#include <climits>

namespace demux {

bool IsRegularFile(const std::string &path)
{
    struct stat st
    { };
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

TClipList ResolveClipList(const std::string &joined, const std::function<bool(const std::string &)> &isFile)
{
    // A part starts at 0 or after a "+" and ends before a "+" or at the end.
    // previous[s] is the start of the part before the one starting at s
    // (kFirst for the first part, -1 while s is unreachable).
    const long n = static_cast<long>(joined.size());
    const long kFirst = n + 1;
    std::vector<long> previous(n + 1, -1);
    previous[0] = kFirst;
    long lastStart = -1;
    long furthest = 0;
    for (long s = 0; s < n && lastStart < 0; ++s) {
        if (previous[s] < 0)
            continue;
        furthest = s;
        for (long e = s + 1; e <= n && e - s < PATH_MAX; ++e) {
            if (e < n && joined[e] != '+')
                continue;
            if (!isFile(joined.substr(s, e - s)))
                continue;
            if (e == n) {
                lastStart = s;
                break;
            }
            if (e + 1 < n && previous[e + 1] < 0)
                previous[e + 1] = s;
        }
    }
    TClipList result;
    if (lastStart < 0) {
        size_t stop = joined.find('+', static_cast<size_t>(furthest));
        result.Unresolved = joined.substr(furthest, stop == std::string::npos ? stop : stop - furthest);
        if (result.Unresolved.empty())
            result.Unresolved = joined.empty() ? std::string("\"\"") : joined;
        return result;
    }
    for (long s = lastStart, e = n; s != kFirst; e = s - 1, s = previous[s])
        result.Paths.insert(result.Paths.begin(), joined.substr(s, e - s));
    return result;
}

std::string StreamBaseOf(const std::string &path)
{
    size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t cut = StreamBaseCut(name);
    return name.size() > cut ? name.substr(0, name.size() - cut) : std::string();
}

}  // namespace demux
