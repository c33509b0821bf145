// Runs a check in a child process that cannot write where its owner may
// not: as root (which writes anywhere) the child drops to the "nobody"
// user first. Used by the tests of failures on unwritable folders.
#pragma once

#include <functional>

#include <grp.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

// As root, becomes the "nobody" user and group, with no other group; false
// when that fails. Other users stay who they are.
inline bool DropRootPrivileges()
{
    return geteuid() != 0 || (setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0);
}

// The child's result: 0 when check returned true, 1 when false, -1 when the
// child could not be run or did not exit normally.
inline int RunUnprivileged(const std::function<bool()> &check)
{
    const pid_t child = fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        if (!DropRootPrivileges())
            _exit(2);
        _exit(check() ? 0 : 1);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    const int code = WEXITSTATUS(status);
    return code <= 1 ? code : -1;
}
