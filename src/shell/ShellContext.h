#pragma once

#include "platform/Edition.h"
#include "shell/WindowParts.h"

#include <atomic>

class Dialogs;
class FileList;
class FileTableModel;
class Preferences;
class QDialog;
class QMainWindow;
class ReportingWorkspace;
class Settings;
class Workspace;
namespace Ui {
class OutputSettingsPanel;
}

// What every command group of the window works on. The controller fills it
// at start-up, before any group is set up, and owns what it points to (the
// window owns its widgets).
//
// Threads: main thread only, except `isProcessing`, which workers read.
struct ShellContext {
    Preferences* preferences = nullptr;
    Dialogs* dialogs = nullptr;
    Workspace* workspace = nullptr;
    // The workspace as the commands use it: a request it cannot carry out is
    // told to the user. Null without a workspace.
    ReportingWorkspace* desktop = nullptr;
    Edition edition;

    QMainWindow* window = nullptr;
    WindowParts parts;
    Ui::OutputSettingsPanel* panel = nullptr;
    QDialog* settingsPanel = nullptr; // a sheet, or a pane of the window

    FileList* files = nullptr;
    Settings* settings = nullptr;
    FileTableModel* model = nullptr;

    bool quitting = false;
    // A load or a job is under way; the main thread sets it, workers read it.
    std::atomic<bool> isProcessing{false};
};
