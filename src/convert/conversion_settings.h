#pragma once

// The option values live with the options; this name stays for its callers.
#include "options/conversion_settings.h"
