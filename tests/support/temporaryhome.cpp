// Linked into every test program: before main() runs, the program gets a
// home folder of its own, so that nothing a test does (settings, Qt's file
// dialog state, caches) reaches the real ~/.config or ~/.cache. The folder
// goes when the program ends. A program started by a test keeps its
// parent's folder, so that a test rerunning itself shares its settings.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

namespace {

constexpr const char *kOwnerVariable = "TAVREL_TEST_HOME";

class TTemporaryHome
{
public:
    TTemporaryHome()
    {
        if (std::getenv(kOwnerVariable))
            return;
        std::string pattern = (std::filesystem::temp_directory_path() / "tavrel-test-home-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            return;
        FPath = pattern;
        FCreator = getpid();
        const std::filesystem::path home(FPath);
        setenv(kOwnerVariable, FPath.c_str(), 1);
        setenv("HOME", FPath.c_str(), 1);
        SetFolder("XDG_CONFIG_HOME", home / ".config");
        SetFolder("XDG_CACHE_HOME", home / ".cache");
        SetFolder("XDG_DATA_HOME", home / ".local/share");
        // Made by mkdtemp with mode 0700, as Qt wants a runtime folder.
        std::string runtimePattern = (home / "runtime-XXXXXX").string();
        if (mkdtemp(runtimePattern.data()))
            setenv("XDG_RUNTIME_DIR", runtimePattern.c_str(), 1);
        // GStreamer's plug-in registry is rebuilt in an empty cache, which
        // takes seconds: the test programs share one in the build folder.
        setenv("GST_REGISTRY_1_0", TAVREL_TEST_STATE_DIR "/gstreamer-registry.bin", 0);
    }

    ~TTemporaryHome()
    {
        // A forked child ending through exit() leaves its parent's folder.
        if (FPath.empty() || getpid() != FCreator)
            return;
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }

private:
    static void SetFolder(const char *variable, const std::filesystem::path &folder)
    {
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
        setenv(variable, folder.c_str(), 1);
    }

    std::string FPath;
    pid_t FCreator = 0;
};

const TTemporaryHome Home;

}  // namespace
