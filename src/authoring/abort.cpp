#include "src/authoring/abort.h"

std::atomic<bool> AbortRequested {false};
