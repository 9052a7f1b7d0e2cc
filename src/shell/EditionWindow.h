#pragma once

class QAbstractButton;
class QString;
struct ShellContext;

// An edition's main window: the widgets it is made of, how its controls
// stand for the shared commands and how they show what can run. The shared
// groups reach the window only through this.
//
// Threads: main thread only.
class EditionWindow {
public:
    // The controls that stand for commands.
    enum class Command {
        AddFiles,
        Remove,
        RemoveAll,
        IncludeSubfolders,
        Import,
        Export,
        Logs,
        Settings
    };

    virtual ~EditionWindow() = default;

    // Start-up, in this order. Builds the window and its settings panel into
    // `context` (window, parts, panel).
    virtual void buildWindow(ShellContext& context) = 0;
    // The command controls: their titles, icons and actions.
    virtual void setupCommands() = 0;
    virtual void setupToolbarAndMenuItems() {}
    virtual void installWindowFocusTracking() {}
    // After the table's context menu: where the settings are shown.
    virtual void setupSettingsArea() {}
    virtual void markAccessLetters() = 0;
    // The tabs of the settings panel.
    virtual void setupSettingsTabs() = 0;
    // The include-subfolders choice, last at start-up.
    virtual void restoreListChoices() = 0;

    virtual void resetView(bool enable) = 0;
    virtual bool isCommandEnabled(Command command) const = 0;
    virtual void setConvertEnabled(bool enabled) = 0;
    virtual bool isConvertEnabled() const = 0;
    virtual void setMoveEnabled(bool up, bool down) = 0;
    virtual bool isMoveEnabled(bool up) const = 0;
    // The row style and move controls follow the row count.
    virtual void refreshTableForRowCount() = 0;

    virtual void toggleIncludeSubfolders() = 0;
    // Brings the settings panel before the user.
    virtual void showOutputSettings() = 0;
    // Files were dropped on the table, before they are loaded.
    virtual void filesDropped() {}
    virtual void windowDidResignMain() {}
    virtual void windowDidBecomeMain() {}

    // Marks `keyChar` in the button's title as its access letter (the first
    // match, ignoring case).
    static void setButtonKeyCharacter(QAbstractButton* button, const QString& keyChar);
};
