#include "authoring/logging.h"

Q_LOGGING_CATEGORY(lcAuthoring, "tavrel.authoring")
