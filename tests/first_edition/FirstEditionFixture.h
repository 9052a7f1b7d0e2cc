#pragma once

#include "engine/Settings.h"
#include "filelist/FileList.h"
#include "first_edition/FirstEditionConvert.h"
#include "first_edition/FirstEditionSettingsPane.h"
#include "first_edition/FirstEditionWindow.h"
#include "shell/ControllerFixture.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <gtest/gtest.h>

// The settings pane's page of the output folder, and the key that keeps
// whether the pane is shown.
inline constexpr int kFolderPage = 2;
inline const QString kShowSettings = QStringLiteral("SHOWSETTINGS");

// The shared controller fixture driving the first edition's program, with
// what only its tests need: its own controller, sample files and drops.
class FirstEditionFixture : public ControllerFixture {
protected:
    QString data = makeTestFolder(QStringLiteral("data"));

    Edition::Id editionUnderTest() const override { return Edition::Id::First; }

    // The first edition's window and Convert; start() made them.
    FirstEditionWindow& firstEdition() const {
        return static_cast<FirstEditionWindow&>(controller->editionWindow());
    }
    FirstEditionConvert& firstEditionConvert() const {
        return static_cast<FirstEditionConvert&>(controller->convert());
    }

    // A TIFF of `pages` small grey pages in `folder` (the data folder by default).
    QString tiff(const QString& name, int pages = 1, const QString& folder = QString()) {
        const QString path = QDir(folder.isEmpty() ? data : folder).filePath(name);
        EXPECT_TRUE(writeTestTiff(
            path, std::vector<TestTiffPage>(static_cast<size_t>(pages), grayPage(8, 8))));
        return path;
    }

    // Adds the files as a drop of local files would, and waits for the load.
    void addPaths(const QStringList& paths) {
        Arguments request;
        for (const QString& path : paths) {
            request.urls.append(QUrl::fromLocalFile(path));
        }
        waitForLoad([&] { controller->fileSystemHelper().loadURLs(request); });
    }

    QStringList listedNames() const {
        QStringList out;
        for (const auto& item : controller->files().items()) {
            out.append(QFileInfo(item->filePath().toLocalFile()).fileName());
        }
        out.sort();
        return out;
    }
};
