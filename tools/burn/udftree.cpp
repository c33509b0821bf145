// Scanning the source folders into the disc tree.
#include "tools/burn/udftree.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace udf {

namespace {

// A file identifier holds at most 255 bytes of compressed unicode.
constexpr size_t kMaxNameBytes = 255;

std::string LastComponent(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool DiscName(const std::string &name, const std::string &path, TUcs2 &out, std::string &error)
{
    if (Utf8ToUcs2(name, out) != 0) {
        error = "The name of \"" + path + "\" holds characters UDF cannot store.";
        return false;
    }
    if (CompressedUnicode(out).size() > kMaxNameBytes) {
        error = "The name of \"" + path + "\" is too long for UDF.";
        return false;
    }
    return true;
}

bool ScanNode(TUdfNode &node, TTreeCounts &counts, std::string &error);

bool FillNode(TUdfNode &node, TTreeCounts &counts, std::string &error)
{
    struct stat st
    { };
    if (stat(node.SourcePath.c_str(), &st) != 0) {
        error = "Cannot read \"" + node.SourcePath + "\": " + std::strerror(errno) + ".";
        return false;
    }
    node.Accessed = st.st_atim;
    node.Modified = st.st_mtim;
    node.Changed = st.st_ctim;
    if (S_ISDIR(st.st_mode)) {
        node.IsDirectory = true;
        ++counts.Directories;
        return ScanNode(node, counts, error);
    }
    if (!S_ISREG(st.st_mode)) {
        error = "\"" + node.SourcePath + "\" is neither a file nor a folder.";
        return false;
    }
    node.Size = static_cast<uint64_t>(st.st_size);
    node.Device = st.st_dev;
    node.Inode = st.st_ino;
    ++counts.Files;
    counts.Bytes += node.Size;
    return true;
}

void SortChildren(TUdfNode &node)
{
    std::sort(node.Children.begin(), node.Children.end(),
              [](const auto &a, const auto &b) { return a->Name < b->Name; });
}

bool ScanNode(TUdfNode &node, TTreeCounts &counts, std::string &error)
{
    DIR *dir = opendir(node.SourcePath.c_str());
    if (!dir) {
        error = "Cannot open the folder \"" + node.SourcePath + "\": " + std::strerror(errno) + ".";
        return false;
    }
    std::vector<std::string> names;
    while (dirent *entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(dir);
    for (const std::string &name : names) {
        auto child = std::make_unique<TUdfNode>();
        child->SourcePath = node.SourcePath + "/" + name;
        if (!DiscName(name, child->SourcePath, child->Name, error) || !FillNode(*child, counts, error))
            return false;
        node.Children.push_back(std::move(child));
    }
    SortChildren(node);
    return true;
}

}  // namespace

bool ScanSources(const std::vector<std::string> &sources, TUdfNode &root, TTreeCounts &counts,
                 std::string &error)
{
    counts = {};
    root = {};
    root.IsDirectory = true;
    clock_gettime(CLOCK_REALTIME, &root.Modified);
    root.Accessed = root.Changed = root.Modified;
    ++counts.Directories;
    for (const std::string &source : sources) {
        struct stat st
        { };
        if (stat(source.c_str(), &st) != 0) {
            error = "The source folder \"" + source + "\" does not exist.";
            return false;
        }
        auto child = std::make_unique<TUdfNode>();
        child->SourcePath = source;
        while (child->SourcePath.size() > 1 && child->SourcePath.back() == '/')
            child->SourcePath.pop_back();
        if (!DiscName(LastComponent(source), source, child->Name, error))
            return false;
        for (const auto &other : root.Children) {
            if (other->Name == child->Name) {
                error = "Two sources have the name \"" + LastComponent(source) + "\".";
                return false;
            }
        }
        if (!FillNode(*child, counts, error))
            return false;
        root.Children.push_back(std::move(child));
    }
    SortChildren(root);
    return true;
}

}  // namespace udf
