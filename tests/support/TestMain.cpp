// The main of every test executable: a private HOME and XDG folders, a fixed
// time zone and locale, and a QApplication so images, fonts and widgets work.
#include <QByteArray>
#include <QDir>
#include <QApplication>
#include <QTemporaryDir>

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

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

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/pictavo-test-XXXXXX"));
    if (!home.isValid()) {
        return EXIT_FAILURE;
    }
    setPrivateEnvironment(home.path());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
