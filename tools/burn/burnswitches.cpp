// Parsing of the burner's switches.
#include "tools/burn/burnswitches.h"

#include <algorithm>
#include <cctype>
#include <functional>

namespace {

std::string Upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::vector<std::string> SplitSources(const std::string &value)
{
    std::vector<std::string> parts;
    size_t begin = 0;
    while (begin <= value.size()) {
        size_t bar = value.find('|', begin);
        if (bar == std::string::npos)
            bar = value.size();
        std::string part = value.substr(begin, bar - begin);
        // A quoted source may keep its quotes when the caller did not split
        // the command line the usual way.
        if (part.size() >= 2 && part.front() == '"' && part.back() == '"')
            part = part.substr(1, part.size() - 2);
        if (!part.empty())
            parts.push_back(part);
        begin = bar + 1;
    }
    return parts;
}

struct TValueSwitch
{
    const char *Name;
    std::function<void(TBurnSwitches &, const std::string &, std::vector<std::string> &)> Apply;
};

struct TFlagSwitch
{
    const char *Name;
    bool TBurnSwitches::*Flag;
};

const TValueSwitch ValueSwitches[] = {
    {"/MODE",
     [](TBurnSwitches &s, const std::string &v, std::vector<std::string> &errors) {
         s.Mode = Upper(v);
         if (s.Mode != "BUILD")
             errors.push_back("/MODE " + v + " is not supported: this burner only builds (/MODE BUILD).");
     }},
    {"/BUILDOUTPUTMODE",
     [](TBurnSwitches &s, const std::string &v, std::vector<std::string> &errors) {
         std::string mode = Upper(v);
         if (mode == "DEVICE")
             s.Output = TOutputMode::Device;
         else if (mode == "IMAGEFILE")
             s.Output = TOutputMode::ImageFile;
         else
             errors.push_back("/BUILDOUTPUTMODE " + v + " is not known: use DEVICE or IMAGEFILE.");
     }},
    {"/SRC",
     [](TBurnSwitches &s, const std::string &v, std::vector<std::string> &) {
         for (std::string &part : SplitSources(v))
             s.Sources.push_back(part);
     }},
    {"/FILESYSTEM",
     [](TBurnSwitches &s, const std::string &v, std::vector<std::string> &errors) {
         s.FileSystem = Upper(v);
         if (s.FileSystem != "UDF")
             errors.push_back("/FILESYSTEM " + v + " is not supported: this burner writes UDF only.");
     }},
    {"/UDFREVISION",
     [](TBurnSwitches &s, const std::string &v, std::vector<std::string> &errors) {
         s.UdfRevision = v;
         if (v != "2.50")
             errors.push_back("/UDFREVISION " + v + " is not supported: this burner writes UDF 2.50 only.");
     }},
    {"/VOLUMELABEL",
     [](TBurnSwitches &s, const std::string &v, std::vector<std::string> &) { s.VolumeLabel = v; }},
    {"/DEST", [](TBurnSwitches &s, const std::string &v, std::vector<std::string> &) { s.Dest = v; }},
};

const TFlagSwitch FlagSwitches[] = {
    {"/VERIFY", &TBurnSwitches::Verify},
    {"/EJECT", &TBurnSwitches::Eject},
    {"/CLOSESUCCESS", &TBurnSwitches::CloseSuccess},
    {"/NOIMAGEDETAILS", &TBurnSwitches::NoImageDetails},
    {"/WAITFORMEDIA", &TBurnSwitches::WaitForMedia},
    {"/START", &TBurnSwitches::Start},
    {"/LISTDRIVES", &TBurnSwitches::ListDrives},
};

}  // namespace

TBurnSwitches ParseBurnSwitches(const std::vector<std::string> &args, std::vector<std::string> &errors)
{
    TBurnSwitches s;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = Upper(args[i]);
        auto value = std::find_if(std::begin(ValueSwitches), std::end(ValueSwitches),
                                  [&](const TValueSwitch &v) { return name == v.Name; });
        if (value != std::end(ValueSwitches)) {
            if (i + 1 >= args.size()) {
                errors.push_back(std::string(value->Name) + " needs a value.");
                break;
            }
            value->Apply(s, args[++i], errors);
            continue;
        }
        auto flag = std::find_if(std::begin(FlagSwitches), std::end(FlagSwitches),
                                 [&](const TFlagSwitch &f) { return name == f.Name; });
        if (flag != std::end(FlagSwitches)) {
            // A flag may be followed by YES or NO; alone it means YES.
            std::string next = i + 1 < args.size() ? Upper(args[i + 1]) : "";
            s.*(flag->Flag) = next != "NO";
            if (next == "YES" || next == "NO")
                ++i;
            continue;
        }
        if (!args[i].empty() && args[i][0] == '/')
            errors.push_back("Unknown switch " + args[i] + ".");
        else
            errors.push_back("Unexpected argument \"" + args[i] + "\".");
    }
    if (s.ListDrives)
        return s;
    if (errors.empty() && s.Mode.empty())
        errors.push_back("No /MODE given: use /MODE BUILD.");
    if (errors.empty() && s.Sources.empty())
        errors.push_back("No source folder given (/SRC).");
    return s;
}

std::string BurnUsage()
{
    return "usage: imgburn /MODE BUILD /SRC \"folder\"|\"folder\" [/BUILDOUTPUTMODE DEVICE|IMAGEFILE]\n"
           "               [/DEST stdio:/path|/dev/sr0|image path] [/VOLUMELABEL \"label\"]\n"
           "               [/FILESYSTEM \"UDF\"] [/UDFREVISION \"2.50\"] [/VERIFY YES|NO]\n"
           "               [/WAITFORMEDIA] [/EJECT] [/START] [/CLOSESUCCESS] [/NOIMAGEDETAILS]\n"
           "       imgburn /LISTDRIVES\n";
}
