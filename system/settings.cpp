// The one instance of the process-wide settings. See settings.h.
#include "system/settings.h"

Settings gSettings;
