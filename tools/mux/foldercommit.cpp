#include "tools/mux/foldercommit.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char *kDiscFolders[] = {"BDMV", "CERTIFICATE"};

// The mode a folder made by mkdir gets here: the temporary folder is made
// private (mkdtemp) while it is built, but becomes the output folder like
// any folder the user makes.
mode_t FolderModeForUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0777 & ~mask;
}

// A link, even one pointing nowhere, is in the way of a move as much as a
// folder is.
bool Present(const fs::path &path)
{
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

using TMoves = std::vector<std::pair<fs::path, fs::path>>;

// The previous folders first go aside into the temporary folder, then the
// new ones take their place.
TMoves PlanMoves(const fs::path &temp, const fs::path &output)
{
    TMoves moves;
    for (const char *name : kDiscFolders)
        if (Present(output / name))
            moves.emplace_back(output / name, temp / (std::string(name) + ".old"));
    for (const char *name : kDiscFolders)
        moves.emplace_back(temp / name, output / name);
    return moves;
}

// Moves back the first `done` moves, last first. Every move is tried even
// when one fails, so that as much as possible is back in place.
void UndoMoves(const TMoves &moves, size_t done, const TMoveFolder &move, const std::string &failure,
               const fs::path &temp)
{
    std::string undoErrors;
    while (done-- > 0) {
        try {
            move(moves[done].second, moves[done].first);
        } catch (const std::exception &e) {
            undoErrors += "; ";
            undoErrors += e.what();
        }
    }
    if (!undoErrors.empty())
        throw TCommitUndoFailed(failure + undoErrors + "; the previous folders are kept in \"" + temp.string()
                                + "\"");
}

}  // namespace

void MoveFolder(const fs::path &from, const fs::path &to)
{
    if (std::rename(from.c_str(), to.c_str()) != 0)
        throw std::runtime_error("cannot move \"" + from.string() + "\" to \"" + to.string()
                                 + "\": " + std::strerror(errno));
}

std::string CommitFolders(const fs::path &temp, const fs::path &output, const TMoveFolder &move)
{
    if (!Present(output)) {
        if (::chmod(temp.c_str(), FolderModeForUmask()) != 0)
            throw std::runtime_error("cannot set the mode of \"" + temp.string()
                                     + "\": " + std::strerror(errno));
        move(temp, output);
        return {};
    }
    const TMoves moves = PlanMoves(temp, output);
    for (size_t done = 0; done < moves.size(); ++done) {
        try {
            move(moves[done].first, moves[done].second);
        } catch (const std::exception &e) {
            UndoMoves(moves, done, move, e.what(), temp);
            throw std::runtime_error(std::string(e.what()) + "; the output folder was left as it was");
        }
    }
    std::error_code error;
    fs::remove_all(temp, error);
    if (error)
        return "the previous disc folders could not be removed from \"" + temp.string()
               + "\": " + error.message();
    return {};
}
