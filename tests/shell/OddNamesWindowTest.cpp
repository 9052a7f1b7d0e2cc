#include "ControllerFixture.h"
#include "filelist/FileList.h"
#include "platform/NativePath.h"
#include "shell/FileTableModel.h"
#include "shell/SingleInstance.h"
#include "support/OddNames.h"
#include "support/TestEnvironment.h"
#include "widgets/CustomTableView.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QUrl>

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

QStringList sorted(QStringList list) {
    std::sort(list.begin(), list.end());
    return list;
}

class OddNamesWindowTest : public ControllerFixture {
protected:
    QByteArray data = QFile::encodeName(makeTestFolder(QStringLiteral("data")));

    // A folder holding every odd name as a one-page TIFF.
    QByteArray oddFolder(const QByteArray& name) {
        const QByteArray folder = data + "/" + name;
        EXPECT_EQ(::mkdir(folder.constData(), 0755), 0);
        const QByteArray tiff = smallTiffBytes();
        for (const OddName& odd : oddNames()) {
            EXPECT_TRUE(writeAtBytes(folder + "/" + odd.bytes, tiff));
        }
        return folder;
    }

    QStringList column(const char* key, int role = Qt::DisplayRole) {
        const QAbstractItemModel* model = find<CustomTableView>("mainTableView")->model();
        const int at = FileTableModel::columnOf(QString::fromLatin1(key));
        QStringList texts;
        for (int row = 0; row < model->rowCount(); ++row) {
            texts.append(model->index(row, at).data(role).toString());
        }
        return sorted(texts);
    }

    QByteArrayList listedPaths() const {
        QByteArrayList paths;
        for (const auto& item : controller->files().items()) {
            paths.append(NativePath::encode(item->filePath().toLocalFile()));
        }
        std::sort(paths.begin(), paths.end());
        return paths;
    }

    static QByteArrayList expectedPaths(const QByteArray& folder) {
        QByteArrayList paths;
        for (const OddName& odd : oddNames()) {
            paths.append(folder + "/" + odd.bytes);
        }
        std::sort(paths.begin(), paths.end());
        return paths;
    }

    static QStringList shownNames() {
        QStringList names;
        for (const OddName& odd : oddNames()) {
            names.append(NativePath::displayPath(NativePath::decode(odd.bytes)));
        }
        return sorted(names);
    }
};

using OddNamesInBothEditions = InBothEditions<OddNamesWindowTest>;
PICTAVO_IN_BOTH_EDITIONS(OddNamesInBothEditions);

TEST_P(OddNamesInBothEditions, AnAddedFolderListsAndShowsEveryName) {
    start();
    const QByteArray folder = oddFolder("plain");
    dialogs.answerNextPanel({true, {QString::fromUtf8(folder)}});
    waitForLoad([this] { controller->fileSystemHelper().addFolder(); });
    EXPECT_EQ(listedPaths(), expectedPaths(folder));
    EXPECT_EQ(column("name"), shownNames());
    EXPECT_EQ(column("pages"),
              QStringList(static_cast<qsizetype>(oddNames().size()), QStringLiteral("1")));
    const QString shownFolder = NativePath::displayPath(NativePath::decode(folder));
    EXPECT_EQ(column("location"),
              QStringList(static_cast<qsizetype>(oddNames().size()), shownFolder));
}

TEST_P(OddNamesInBothEditions, ADroppedFolderNamedInBytesIsWalked) {
    start();
    const QByteArray folder = oddFolder("drop \xff\xe9");
    // As a file manager drops it: the name's bytes percent-escaped.
    const QUrl dropped =
        QUrl::fromEncoded("file://" + folder.toPercentEncoding("/"), QUrl::StrictMode);
    ASSERT_TRUE(dropped.isValid());
    auto* table = find<CustomTableView>("mainTableView");
    waitForLoad([&] { Q_EMIT table->urlsDropped({dropped}); });
    EXPECT_EQ(listedPaths(), expectedPaths(folder));
    const QString shownFolder = NativePath::displayPath(NativePath::decode(folder));
    EXPECT_TRUE(shownFolder.endsWith(QStringLiteral("/drop \uFFFD\uFFFD")));
    EXPECT_EQ(column("location", Qt::ToolTipRole).first(),
              shownFolder + QLatin1Char('/') + shownNames().first());
}

class OddNamesSecondStartTest : public OddNamesWindowTest {};

// The second program's argv carries the name's bytes; QProcess would pass
// them through UTF-8.
pid_t startWithRawArguments(const QByteArray& instanceName, const QByteArray& argument) {
    QByteArray program(PICTAVO_PATH);
    QByteArray path = argument;
    char* argv[] = {program.data(), path.data(), nullptr};
    QByteArrayList environment{"PICTAVO_INSTANCE_NAME=" + instanceName};
    for (char** e = environ; *e != nullptr; ++e) {
        if (!QByteArray(*e).startsWith("PICTAVO_INSTANCE_NAME=")) {
            environment.append(QByteArray(*e));
        }
    }
    std::vector<char*> envp;
    for (QByteArray& e : environment) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    pid_t pid = -1;
    return posix_spawn(&pid, argv[0], nullptr, nullptr, argv, envp.data()) == 0 ? pid : -1;
}

TEST_F(OddNamesSecondStartTest, HandsOnANameThatIsNotUtf8) {
    start();
    const QString name = QStringLiteral("pictavo-odd-%1").arg(QCoreApplication::applicationPid());
    SingleInstance instance(name);
    ASSERT_TRUE(instance.listen());
    connectSingleInstance(instance, *controller);
    const QByteArray path = data + "/\xff caf\xe9\n.tif";
    ASSERT_TRUE(writeAtBytes(path, smallTiffBytes()));

    QSignalSpy received(&instance, &SingleInstance::received);
    QSignalSpy loaded(controller.get(), &PictavoAppDelegate::loadFinished);
    const pid_t second = startWithRawArguments(name.toUtf8(), path);
    ASSERT_GT(second, 0);
    ASSERT_TRUE(received.wait(30000));
    int status = -1;
    ASSERT_EQ(::waitpid(second, &status, 0), second);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_TRUE(loaded.count() > 0 || loaded.wait(30000));
    EXPECT_EQ(listedPaths(), QByteArrayList{path});
}

} // namespace
