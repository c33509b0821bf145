// A stand-in for the outside tools in runner and disc-step tests. Its
// behaviour comes from the environment, since its command line must be
// exactly what the code under test built:
//   FAKETOOL_RECORD   file receiving "pid=", "cwd=", "arg=" and "fd=" fields,
//                     each ended by a NUL character
//   FAKETOOL_ACTIONS  comma-separated steps run in order:
//     progress   percentages with backspaces on stdout, carriage returns on stderr
//     streams    like the demultiplexer: {first clip name less .m2ts}.h264,
//                .ac3 and .txt in the current folder
//     burst      20 MB on stdout and 1 MB on stderr, as fast as possible
//     chatter:N  N numbered lines on stdout without pause, one write each
//     close      closes its stdout and stderr
//     sleep:S    sleeps S seconds (sleep alone: 60 s, until killed)
//     exit:N     ends at once with exit code N
//     signal:N   dies of signal N (without a core file)
//     onterm     on SIGTERM, writes FAKETOOL_RECORD + ".term" and exits 2,
//                as a program cleaning up after itself
//     ignoreterm ignores SIGTERM
//     waitgo     stays silent until the file FAKETOOL_RECORD + ".go" exists,
//                so that a test decides when it ends
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <string>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

void Record(int argc, char **argv)
{
    const char *path = std::getenv("FAKETOOL_RECORD");
    if (!path)
        return;
    std::string text = "pid=" + std::to_string(getpid()) + '\0';
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd))
        text += std::string("cwd=") + cwd + '\0';
    for (int i = 0; i < argc; ++i)
        text += std::string("arg=") + argv[i] + '\0';
    if (DIR *dir = opendir("/proc/self/fd")) {
        while (dirent *entry = readdir(dir)) {
            if (entry->d_name[0] == '.' || std::atoi(entry->d_name) == dirfd(dir))
                continue;
            std::string target(4096, '\0');
            const std::string link = std::string("/proc/self/fd/") + entry->d_name;
            const ssize_t n = readlink(link.c_str(), target.data(), target.size());
            target.resize(n > 0 ? size_t(n) : 0);
            text += std::string("fd=") + entry->d_name + ' ' + target + '\0';
        }
        closedir(dir);
    }
    // Written whole under another name first: a test that sees the file
    // may kill the tool at once and still read everything.
    const std::string part = std::string(path) + ".part";
    std::ofstream(part, std::ios::binary) << text;
    std::rename(part.c_str(), path);
}

void Write(FILE *stream, const std::string &text)
{
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

void Progress()
{
    for (int percent = 0; percent <= 100; percent += 25) {
        const std::string number = std::to_string(percent) + "%";
        Write(stdout, number + std::string(number.size(), '\b'));
        Write(stderr, "\r" + number);
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    Write(stdout, "done\n");
    Write(stderr, "\r\n");
}

bool Exists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The first clip of "a.m2ts+b.m2ts": a path may hold "+" itself, so the
// shortest run of "+"-separated parts naming an existing file wins.
std::string FirstClip(const std::string &joined)
{
    for (size_t plus = joined.find('+'); plus != std::string::npos; plus = joined.find('+', plus + 1))
        if (Exists(joined.substr(0, plus)))
            return joined.substr(0, plus);
    return joined;
}

void Streams(int argc, char **argv)
{
    if (argc < 3)
        return;
    std::string name = FirstClip(argv[2]);
    name = name.substr(name.rfind('/') + 1);
    const std::string base = name.substr(0, name.size() >= 5 ? name.size() - 5 : 0);
    for (const char *ext : {".h264", ".ac3", ".txt"})
        std::ofstream(base + ext, std::ios::binary | std::ios::trunc) << "stream data of " << ext;
}

void Burst()
{
    const std::string block(65536, 'x');
    for (int i = 0; i < 320; ++i) {
        Write(stdout, block);
        if (i % 20 == 0)
            Write(stderr, block);
    }
}

// Where the SIGTERM handler leaves its mark, made before it can run.
std::string TermMark;

void OnTerm(int)
{
    const int fd = open(TermMark.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0)
        close(fd);
    _exit(2);
}

void DieOf(int signal)
{
    const rlimit noCore {0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void WaitForGo()
{
    const char *record = std::getenv("FAKETOOL_RECORD");
    const std::string go = std::string(record ? record : "faketool") + ".go";
    while (!Exists(go))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void Chatter(long lines)
{
    for (long line = 0; line < lines; ++line)
        Write(stdout, "line " + std::to_string(line) + "\n");
}

// How SIGTERM is taken, set before the tool records itself: a test that
// stops the tool once it has recorded itself finds the handler in place.
void SetUpTermination(const std::string &list)
{
    if (list.find("onterm") != std::string::npos) {
        const char *record = std::getenv("FAKETOOL_RECORD");
        TermMark = std::string(record ? record : "faketool") + ".term";
        std::signal(SIGTERM, OnTerm);
    }
    if (list.find("ignoreterm") != std::string::npos)
        std::signal(SIGTERM, SIG_IGN);
}

}  // namespace

int main(int argc, char **argv)
{
    const char *actions = std::getenv("FAKETOOL_ACTIONS");
    std::string list = actions ? actions : "";
    SetUpTermination(list);
    Record(argc, argv);
    size_t start = 0;
    while (start < list.size()) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos)
            comma = list.size();
        const std::string action = list.substr(start, comma - start);
        start = comma + 1;
        const size_t colon = action.find(':');
        const std::string verb = action.substr(0, colon);
        const double value = colon == std::string::npos ? -1 : std::atof(action.c_str() + colon + 1);
        if (verb == "progress")
            Progress();
        else if (verb == "streams")
            Streams(argc, argv);
        else if (verb == "burst")
            Burst();
        else if (verb == "chatter")
            Chatter(long(value));
        else if (verb == "close") {
            std::fclose(stdout);
            std::fclose(stderr);
        } else if (verb == "sleep")
            std::this_thread::sleep_for(std::chrono::duration<double>(value < 0 ? 60 : value));
        else if (verb == "exit")
            return int(value);
        else if (verb == "signal")
            DieOf(int(value));
        else if (verb == "waitgo")
            WaitForGo();
    }
    return 0;
}
