// The main of every test executable: a private HOME and XDG folders, a fixed
// time zone and locale, and a QApplication so images, fonts and widgets work.
#include "platform/GuardedApplication.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

#include <ftw.h>
#include <unistd.h>

namespace {

void setPrivateEnvironment(const QString& home) {
    const auto set = [](const char* name, const QString& value) {
        qputenv(name, QFile::encodeName(value));
    };
    set("HOME", home);
    set("XDG_CONFIG_HOME", home + QStringLiteral("/.config"));
    set("XDG_DATA_HOME", home + QStringLiteral("/.local/share"));
    set("XDG_CACHE_HOME", home + QStringLiteral("/.cache"));
    set("XDG_STATE_HOME", home + QStringLiteral("/.local/state"));
    const QString runtime = home + QStringLiteral("/.runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    set("XDG_RUNTIME_DIR", runtime);
    qputenv("TZ", "UTC");
    qputenv("LC_ALL", "C.UTF-8");
    qputenv("LANG", "C.UTF-8");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    tzset();
}

int removeEntry(const char* path, const struct stat* /*info*/, int /*type*/, FTW* /*at*/) {
    (void)::remove(path);
    return 0;
}

// By bytes: QTemporaryDir removes through UTF-8 and cannot reach names that
// are not, which tests of such names leave behind.
void removeTree(const QString& folder) {
    (void)::nftw(QFile::encodeName(folder).constData(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/pictavo-test-XXXXXX"));
    if (!home.isValid()) {
        return EXIT_FAILURE;
    }
    setPrivateEnvironment(home.path());
    // The programs' own application, so a test meets the event loop they run.
    GuardedApplication<QApplication> app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    removeTree(home.path());
    return result;
}
