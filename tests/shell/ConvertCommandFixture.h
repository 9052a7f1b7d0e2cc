#pragma once

#include "ControllerFixture.h"
#include "engine/Settings.h"
#include "filelist/FileList.h"
#include "platform/Constants.h"
#include "platform/Preferences.h"
#include "platform/Workspace.h"
#include "shell/Dialogs.h"
#include "shell/PictavoAppDelegate.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"
#include "widgets/ElidedLabel.h"
#include "widgets/SegmentedControl.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>
#include <optional>

class ConvertCommandTest : public ControllerFixture {
protected:
    QString in = makeTestFolder(QStringLiteral("in"));
    QString out = makeTestFolder(QStringLiteral("out"));

    void SetUp() override {
        start();
        controller->settings().setIsOpenFolderAfterConversion(false);
    }

    void addSources(const QList<std::pair<QString, int>>& sources) { addRgbSources(in, sources); }

    void useDefaultFolder(const QString& folder) {
        controller->settings().setOutputFolderPath(folder);
        controller->settings().setIsSetCurrentAsDefaultOutputFolderPath(true);
    }

    void convertAndWait() {
        QSignalSpy finished(controller.get(), &PictavoAppDelegate::conversionFinished);
        controller->convert().convertAction();
        ASSERT_TRUE(finished.count() > 0 || finished.wait(60000));
    }

    QStringList outputs() const {
        return QDir(out).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    QPushButton* panelButton(const char* name) const {
        return controller->progressSheet().processViewPanel()->findChild<QPushButton*>(
            QString::fromUtf8(name));
    }

    template <typename T> T* inPanel(const char* name) const {
        T* widget =
            controller->progressSheet().processViewPanel()->findChild<T*>(QString::fromUtf8(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    QPushButton* mainCancelButton() const {
        return controller->window()->findChild<QPushButton*>(QStringLiteral("cancelBtn"));
    }
};

using ConvertInBothEditions = InBothEditions<ConvertCommandTest>;
