#pragma once
// Runs the converter as a shell does and reads what its log says.
#include "support/WatchedPipe.h"

#include <QFile>
#include <QMap>
#include <QProcess>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

struct CliResult {
    int exitCode = -1; // -1: ended by a signal
    QString out;
    QString err;
};

// With `pipe`, every reader the converter opens on it is let go at once, so a
// converter that opens it still ends, and the test sees that it did.
inline CliResult runCli(const QStringList& arguments, const QByteArray& input = {},
                        WatchedPipe* pipe = nullptr) {
    QProcess cli;
    cli.start(QStringLiteral(PICTAVO_CONVERT_PATH), arguments);
    EXPECT_TRUE(cli.waitForStarted());
    if (!input.isEmpty()) {
        cli.write(input);
    }
    cli.closeWriteChannel();
    if (pipe != nullptr) {
        while (cli.state() != QProcess::NotRunning && !cli.waitForFinished(20)) {
            pipe->release();
        }
    } else {
        EXPECT_TRUE(cli.waitForFinished(120000));
    }
    return {cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1,
            QString::fromLocal8Bit(cli.readAllStandardOutput()),
            QString::fromLocal8Bit(cli.readAllStandardError())};
}

// What the log says was written: file name -> pages written into it.
inline QMap<QString, int> completedInLog(const QString& logPath) {
    QMap<QString, int> completed;
    QFile file(logPath);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << logPath.toStdString();
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("File") &&
            xml.attributes().value(QLatin1String("Status")) == QLatin1String("Completed")) {
            ++completed[xml.attributes().value(QLatin1String("NewFileName")).toString()];
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return completed;
}
