#pragma once

#include "shell/PictavoAppDelegate.h"

#include <functional>
#include <memory>

struct Edition;
class TerminationSignals;

// Makes the edition's main controller over the platform layers.
using ControllerFactory =
    std::function<std::unique_ptr<PictavoAppDelegate>(PictavoAppDelegate::Services)>;

// The window program of `edition`: single instance, its window, the paths of
// the command line added as a drop, until the window closes. Each program's
// main calls it once with its own edition and controller.
int runPictavo(int argc, char** argv, const Edition& edition, const ControllerFactory& make);

// SIGTERM (a logout, a service manager, `kill`), SIGHUP and SIGINT end the
// window program as Quit does: the job stops at its next page boundary and
// what must survive is stored. A second signal ends it at once.
std::unique_ptr<TerminationSignals> quitOnTerminationSignals(PictavoAppDelegate& controller);
