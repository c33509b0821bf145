// A stop asked for from a signal handler (SIGTERM, SIGINT), looked at by
// the long loops of the tools: reading a stream, muxing, writing. Setting
// it is async-signal-safe.
#pragma once

#include <stdexcept>

struct TStopped : std::runtime_error
{
    TStopped() : std::runtime_error("interrupted") { }
};

void RequestStop();
bool StopRequested();
// Throws TStopped once a stop was asked for.
void ThrowIfStopRequested();
