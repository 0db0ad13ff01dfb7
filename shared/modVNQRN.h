#pragma once

// The shared module: error reporting and the error log, profile files and
// list items, installation discovery with its globals, and the operator-facing
// services (message boxes, mouse pointer, clock) that the product injects.

#include "clock.h"
#include "environment.h"
#include "error.h"
#include "error_log.h"
#include "list_items.h"
#include "platform_folders.h"
#include "profile.h"
#include "prompter.h"
