#pragma once

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>
#include <memory>
#include <string>

// Every test process runs in a HOME and XDG folders of its own (made by the
// test main), so preferences, the application folder and logs never touch the
// user's.
QString testHome();

// A fresh empty folder inside the test HOME.
QString makeTestFolder(const QString& name = QStringLiteral("work"));

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
