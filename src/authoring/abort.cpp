#include "authoring/abort.h"

std::atomic<bool> AbortRequested {false};
