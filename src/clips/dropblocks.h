// The blocks a drag of files offers, byte for byte: the desktop's file
// lists ("text/uri-list", "x-special/gnome-copied-files") and the blocks of
// the shell drag protocol of the other desktop family (the DROPFILES file
// list, the file-name maps and the preferred drop effect), for targets that
// ask for those. Pure functions: no widget, no clipboard.
#pragma once

#include <QByteArray>
#include <QStringList>

#include <cstdint>

// Size of the DROPFILES header: offset of the file list (4 bytes), drop
// point x and y (4 bytes each), non-client flag and wide-character flag
// (4 bytes each).
inline constexpr int kDropFilesHeaderSize = 20;

// The DROPFILES header (file list at offset 20, point 0, 0, not in the
// non-client area, wide characters) followed by each path as UTF-16LE with
// its terminating null, and one more null: 20 + sum(2 * length + 2) + 2
// bytes, lengths in UTF-16 code units.
QByteArray DropFilesBlock(const QStringList &files);

// Each name as 8-bit text in the system code page (UTF-8 here) with its
// null, then a final null.
QByteArray FileNameMapBlock(const QStringList &names);

// Each name as UTF-16LE with its null, then a final null.
QByteArray FileNameMapWBlock(const QStringList &names);

// The drop effect (copy 1, move 2, link 4) as 4 bytes, little-endian.
QByteArray PreferredDropEffectBlock(std::uint32_t effect);

// One file URI per line, each line ended by CR LF.
QByteArray UriListBlock(const QStringList &files);

// "copy" (or "cut" when move is true), then one file URI per line.
QByteArray GnomeCopiedFilesBlock(const QStringList &files, bool move = false);
