#pragma once

#include "shell/EditionWindow.h"

#include <QObject>
#include <QString>

#include <memory>

class FirstEditionSettingsPane;
class PictavoAppDelegate;
class QAction;
class QMainWindow;
class QToolBar;
struct ShellContext;
namespace Ui {
class MainWindow1;
} // namespace Ui

// The first edition's window: plain buttons and a toolbar over the list, and
// the settings as a pane beside it (`FirstEditionSettingsPane`) that the
// toolbar shows or hides.
//
// Threads: main thread only.
class FirstEditionWindow : public QObject, public EditionWindow {
    Q_OBJECT
public:
    explicit FirstEditionWindow(PictavoAppDelegate& app);
    ~FirstEditionWindow() override;

    static const QString kAboutItemIdentifier; // "ABOUT"

    void buildWindow(ShellContext& context) override;
    void setupCommands() override;
    void setupToolbarAndMenuItems() override;
    void setupSettingsArea() override;
    void markAccessLetters() override;
    void setupSettingsTabs() override;
    void restoreListChoices() override;

    void resetView(bool enable) override;
    bool isCommandEnabled(Command command) const override;
    void setConvertEnabled(bool enabled) override;
    bool isConvertEnabled() const override;
    void setMoveEnabled(bool up, bool down) override;
    bool isMoveEnabled(bool up) const override;
    void refreshTableForRowCount() override;
    void toggleIncludeSubfolders() override;
    void showOutputSettings() override;
    void filesDropped() override;

    FirstEditionSettingsPane& settingsPane() const { return *m_pane; }
    // The toolbar items made by code: "ABOUT"; none for other identifiers.
    QAction* toolbarItemForIdentifier(const QString& identifier, bool willBeInserted);
    QToolBar* toolbar() const;

private:
    PictavoAppDelegate& m_app;
    ShellContext& m_ctx;
    std::unique_ptr<QMainWindow> m_window;
    std::unique_ptr<Ui::MainWindow1> m_ui1;
    std::unique_ptr<FirstEditionSettingsPane> m_pane;
};
