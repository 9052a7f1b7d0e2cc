#pragma once

#include "shell/PictavoAppDelegate.h"

#include <functional>
#include <memory>

struct Edition;

// Makes the edition's main controller over the platform layers.
using ControllerFactory =
    std::function<std::unique_ptr<PictavoAppDelegate>(PictavoAppDelegate::Services)>;

// The window program of `edition`: single instance, its window, the paths of
// the command line added as a drop, until the window closes. Each program's
// main calls it once with its own edition and controller.
int runPictavo(int argc, char** argv, const Edition& edition, const ControllerFactory& make);
