// Reading the burner's settings file.
#include "tools/burn/burnsettings.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>

namespace {

std::string Trim(const std::string &text)
{
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos)
        return "";
    size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

bool SameText(std::string a, std::string b)
{
    auto lower = [](std::string &s) {
        std::transform(s.begin(), s.end(), s.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    };
    lower(a);
    lower(b);
    return a == b;
}

}  // namespace

std::string BurnSettingsPath()
{
    char exe[4096];
    ssize_t len = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (len <= 0)
        return "imgburn.ini";
    std::string path(exe, static_cast<size_t>(len));
    return path.substr(0, path.rfind('/') + 1) + "imgburn.ini";
}

std::string ReadSettingsDestination(const std::string &path)
{
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#' || line[0] == '[')
            continue;
        size_t equals = line.find('=');
        if (equals != std::string::npos && SameText(Trim(line.substr(0, equals)), "Destination"))
            return Trim(line.substr(equals + 1));
    }
    return "";
}
