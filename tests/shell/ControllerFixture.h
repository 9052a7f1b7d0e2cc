#pragma once

#include "first_edition/FirstEditionAppDelegate.h"
#include "platform/Preferences.h"
#include "platform/Workspace.h"
#include "shell/Dialogs.h"
#include "shell/PictavoAppDelegate.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QMainWindow>
#include <QSignalSpy>

#include <functional>
#include <gtest/gtest.h>
#include <memory>

// The main controller with a preferences file of its own, a recording
// workspace and scripted dialogs, as GUI tests drive it.
class ControllerFixture : public ::testing::Test {
protected:
    QString prefsPath =
        QDir(makeTestFolder(QStringLiteral("prefs"))).filePath(QStringLiteral("Pictavo2.conf"));
    std::unique_ptr<SettingsPreferences> preferences =
        std::make_unique<SettingsPreferences>(prefsPath);
    RecordingWorkspace workspace;
    Workspace* workspaceInUse = &workspace;
    ScriptedDialogs dialogs;
    Edition edition = Edition::currentEdition();
    std::unique_ptr<PictavoAppDelegate> controller;

    // The edition whose program the test drives.
    virtual Edition::Id editionUnderTest() const { return Edition::Id::Current; }

    // Builds the window, as the application does at start-up.
    void start() {
        const PictavoAppDelegate::Services services{preferences.get(), workspaceInUse, &dialogs,
                                                    edition};
        if (editionUnderTest() == Edition::Id::First) {
            edition = Edition::firstEdition();
            controller = std::make_unique<FirstEditionAppDelegate>(
                PictavoAppDelegate::Services{preferences.get(), workspaceInUse, &dialogs, edition});
        } else {
            controller = std::make_unique<PictavoAppDelegate>(services);
        }
        controller->awakeFromNib();
    }

    bool isFirstEdition() const { return editionUnderTest() == Edition::Id::First; }

    void TearDown() override {
        if (controller) {
            (void)controller->applicationShouldTerminate();
        }
    }

    // Runs one load to its end, as the user would see it.
    void waitForLoad(const std::function<void()>& trigger) {
        QSignalSpy finished(controller.get(), &PictavoAppDelegate::loadFinished);
        trigger();
        ASSERT_TRUE(finished.count() > 0 || finished.wait(30000));
    }

    template <typename T> T* find(const char* name) const {
        T* widget = controller->window()->findChild<T*>(QString::fromUtf8(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
};

// Runs the tests of `Fixture` once in each edition's program: what is shared
// must hold in both.
template <typename Fixture>
class InBothEditions : public Fixture, public ::testing::WithParamInterface<Edition::Id> {
protected:
    Edition::Id editionUnderTest() const override { return this->GetParam(); }
};

inline std::string editionName(const ::testing::TestParamInfo<Edition::Id>& info) {
    return info.param == Edition::Id::First ? "FirstEdition" : "CurrentEdition";
}

#define PICTAVO_IN_BOTH_EDITIONS(Suite)                                                            \
    INSTANTIATE_TEST_SUITE_P(                                                                      \
        Editions, Suite, ::testing::Values(Edition::Id::Current, Edition::Id::First), editionName)
