#pragma once

#include "shell/EditionGroups.h"

// The first edition's program: its own window and Convert, no recent folders
// and no column chooser, and the shared commands' first-edition rules.
EditionGroups firstEditionGroups();
