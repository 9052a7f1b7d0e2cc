#pragma once

#include "platform/FolderAccess.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>

// Every test process runs in a HOME and XDG folders of its own (made by the
// test main), so preferences, the application folder and logs never touch the
// user's.
QString testHome();

// A fresh empty folder inside the test HOME.
QString makeTestFolder(const QString& name = QStringLiteral("work"));

// A folder this process may not create files in, while this lives: a fresh
// read-only folder, or, for a process that ignores permissions (root), one the
// folder check is told to refuse, so the refusal is tested on every machine.
class UnwritableFolder {
public:
    UnwritableFolder();
    const QString& path() const { return m_path; }

private:
    QString m_path;
    std::optional<FolderAccessOverride> m_refusal;
};

// Collects system log lines while it lives.
class SystemLogCapture {
public:
    SystemLogCapture();
    ~SystemLogCapture();
    SystemLogCapture(const SystemLogCapture&) = delete;
    SystemLogCapture& operator=(const SystemLogCapture&) = delete;

    QStringList lines() const;
    bool contains(const QString& line) const { return lines().contains(line); }

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// Names the cases of a parameterised test by their `name` member (letters,
// digits and underscores), so that ctest lists readable test names:
//   INSTANTIATE_TEST_SUITE_P(Sizes, SizeTextTest, ::testing::ValuesIn(kCases), ByName());
struct ByName {
    template <typename P> std::string operator()(const ::testing::TestParamInfo<P>& info) const {
        return info.param.name;
    }
};
