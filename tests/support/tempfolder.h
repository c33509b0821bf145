// A fresh folder under the system's temporary folder, removed with all it
// holds when the test ends.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdlib.h>
#include <string>
#include <vector>

class TTempFolder
{
public:
    TTempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tavrel-test-XXXXXX").string();
        FPath = mkdtemp(pattern.data());
    }
    ~TTempFolder() { std::filesystem::remove_all(FPath); }
    TTempFolder(const TTempFolder &) = delete;
    TTempFolder &operator=(const TTempFolder &) = delete;

    // Makes the file `name` holding `text`; returns its path.
    std::string Touch(const std::string &name, const std::string &text = "x") const
    {
        std::ofstream(FPath / name) << text;
        return (FPath / name).string();
    }
    const std::filesystem::path &Path() const { return FPath; }
    // The names in the folder, sorted.
    std::vector<std::string> Entries() const
    {
        std::vector<std::string> names;
        for (const auto &e : std::filesystem::directory_iterator(FPath))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path FPath;
};
