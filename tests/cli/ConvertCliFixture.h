#pragma once

#include "CliRun.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <array>
#include <csignal>
#include <gtest/gtest.h>

#include <tiffio.h>

// A converter run over files made in a fresh input folder.
class ConvertCliTest : public ::testing::Test {
protected:
    QString in = makeTestFolder(QStringLiteral("in"));
    QString out = makeTestFolder(QStringLiteral("out"));
    QString logs = makeTestFolder(QStringLiteral("logs"));

    QString makeTiff(const QString& relative, int pages, uint32_t size = 12) {
        std::vector<TestTiffPage> layout(static_cast<size_t>(pages), rgbPage(size, size, 8));
        const QString path = QDir(in).filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(writeTestTiff(path, layout));
        return path;
    }

    QStringList outputs() const {
        return QDir(out).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    QStringList common() const {
        return {QStringLiteral("-o"), out, QStringLiteral("--log-dir"), logs};
    }
};
