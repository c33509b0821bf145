// What a message of the main window's status bar is about; the window
// shows each kind in its own colour. The processing driver reports with
// these kinds too, so the disc core needs nothing of the window to say
// which colour a run's status takes.
#pragma once

enum class TStatusKind {
    Normal,  // the button face
    Interrupted,  // yellow: a step interrupted, or a program that warned
    Opening,  // sky blue: clips being opened
    ToolRunning,  // pale green: a disc step under way
    Error,  // red
};
