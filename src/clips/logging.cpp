#include "clips/logging.h"

Q_LOGGING_CATEGORY(lcClips, "tavrel.clips")
