// Scanning the source folders into the disc tree.
#include "udftree.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace udf {

namespace {

// A file identifier holds at most 255 bytes of compressed unicode.
constexpr size_t MaxNameBytes = 255;

std::string LastComponent(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool DiscName(const std::string& name, const std::string& path, TUcs2& out, std::string& error) {
  if (Utf8ToUcs2(name, out) != 0) {
    error = "The name of \"" + path + "\" holds characters UDF cannot store.";
    return false;
  }
  if (CompressedUnicode(out).size() > MaxNameBytes) {
    error = "The name of \"" + path + "\" is too long for UDF.";
    return false;
  }
  return true;
}

bool ScanNode(TUdfNode& node, TTreeCounts& counts, std::string& error);

bool FillNode(TUdfNode& node, TTreeCounts& counts, std::string& error) {
  struct stat st {};
  if (stat(node.sourcePath.c_str(), &st) != 0) {
    error = "Cannot read \"" + node.sourcePath + "\": " + std::strerror(errno) + ".";
    return false;
  }
  node.accessed = st.st_atim;
  node.modified = st.st_mtim;
  node.changed = st.st_ctim;
  if (S_ISDIR(st.st_mode)) {
    node.isDirectory = true;
    ++counts.directories;
    return ScanNode(node, counts, error);
  }
  if (!S_ISREG(st.st_mode)) {
    error = "\"" + node.sourcePath + "\" is neither a file nor a folder.";
    return false;
  }
  node.size = static_cast<uint64_t>(st.st_size);
  node.device = st.st_dev;
  node.inode = st.st_ino;
  ++counts.files;
  counts.bytes += node.size;
  return true;
}

void SortChildren(TUdfNode& node) {
  std::sort(node.children.begin(), node.children.end(),
            [](const auto& a, const auto& b) { return a->name < b->name; });
}

bool ScanNode(TUdfNode& node, TTreeCounts& counts, std::string& error) {
  DIR* dir = opendir(node.sourcePath.c_str());
  if (!dir) {
    error = "Cannot open the folder \"" + node.sourcePath + "\": " + std::strerror(errno) + ".";
    return false;
  }
  std::vector<std::string> names;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  for (const std::string& name : names) {
    auto child = std::make_unique<TUdfNode>();
    child->sourcePath = node.sourcePath + "/" + name;
    if (!DiscName(name, child->sourcePath, child->name, error) || !FillNode(*child, counts, error))
      return false;
    node.children.push_back(std::move(child));
  }
  SortChildren(node);
  return true;
}

}  // namespace

bool ScanSources(const std::vector<std::string>& sources, TUdfNode& root, TTreeCounts& counts,
                 std::string& error) {
  counts = {};
  root = {};
  root.isDirectory = true;
  clock_gettime(CLOCK_REALTIME, &root.modified);
  root.accessed = root.changed = root.modified;
  ++counts.directories;
  for (const std::string& source : sources) {
    struct stat st {};
    if (stat(source.c_str(), &st) != 0) {
      error = "The source folder \"" + source + "\" does not exist.";
      return false;
    }
    auto child = std::make_unique<TUdfNode>();
    child->sourcePath = source;
    while (child->sourcePath.size() > 1 && child->sourcePath.back() == '/')
      child->sourcePath.pop_back();
    if (!DiscName(LastComponent(source), source, child->name, error)) return false;
    for (const auto& other : root.children) {
      if (other->name == child->name) {
        error = "Two sources have the name \"" + LastComponent(source) + "\".";
        return false;
      }
    }
    if (!FillNode(*child, counts, error)) return false;
    root.children.push_back(std::move(child));
  }
  SortChildren(root);
  return true;
}

}  // namespace udf
