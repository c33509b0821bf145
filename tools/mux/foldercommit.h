// Puts a finished disc folder in place of the one the user already has:
// BDMV and CERTIFICATE of a temporary folder beside the output folder are
// moved into it, all or nothing.
#pragma once

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

// One move of a folder; throws std::runtime_error naming both paths and
// the reason when it fails. Tests pass their own to make a given move fail.
using TMoveFolder = std::function<void(const std::filesystem::path &from, const std::filesystem::path &to)>;
void MoveFolder(const std::filesystem::path &from, const std::filesystem::path &to);

// Raised when a failed commit could not put the previous folders back: they
// are kept in the temporary folder, which must then not be removed.
class TCommitUndoFailed : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Moves BDMV and CERTIFICATE of `temp` into `output` (or makes `temp` the
// output folder when there is none), replacing what is there. When a move
// fails, the moves made are undone in reverse order: `output` is as it was,
// `temp` holds the new tree, and the error names the move that failed.
// On success the previous folders are removed with `temp`; the result is
// a note when that removal failed, else empty.
std::string CommitFolders(const std::filesystem::path &temp, const std::filesystem::path &output,
                          const TMoveFolder &move = MoveFolder);
