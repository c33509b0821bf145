// "/LISTDRIVES": the optical drives libburn finds, one line each, so that a
// program choosing a drive need not link libburn itself. A line holds the
// drive's address, its model and what it holds, separated by tabs:
//
//   /dev/sr0<TAB>HL-DT-ST DVDRAM GH24NSD1<TAB>blank
//
// The medium is "blank", "written" (appendable or full), "empty" (no disc),
// "unusable" (a disc the drive cannot write) or "unknown" (the drive is
// busy or still reading the disc). No drive prints nothing.
#pragma once

class TConsole;

// Prints the lines; an error when the disc writing library cannot start.
void ListDrives(TConsole &console);
