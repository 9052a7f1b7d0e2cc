// pictavo-convert given names as bytes: on its command line, in folders and
// in lists, converted into outputs of the same bytes and named in the log.
#include "platform/NativePath.h"
#include "support/OddNames.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QXmlStreamReader>

#include <algorithm>
#include <climits>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

struct RawResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// QProcess passes its arguments through UTF-8, which is what is under test.
RawResult runRaw(const QByteArrayList& arguments, const QByteArray& work,
                 const QByteArray& input = {}) {
    QByteArrayList all{QByteArray(PICTAVO_CONVERT_PATH)};
    all += arguments;
    std::vector<char*> argv;
    for (QByteArray& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const QByteArray outPath = work + "/stdout";
    const QByteArray errPath = work + "/stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray inPath = work + "/stdin";
    EXPECT_TRUE(writeAtBytes(inPath, input));
    posix_spawn_file_actions_addopen(&actions, 0, inPath.constData(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.constData(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.constData(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    RawResult result;
    int status = 0;
    if (spawned != 0 || ::waitpid(pid, &status, 0) != pid) {
        ADD_FAILURE() << "could not run " << argv[0];
        return result;
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    QFile out(QString::fromUtf8(outPath));
    QFile err(QString::fromUtf8(errPath));
    EXPECT_TRUE(out.open(QIODevice::ReadOnly) && err.open(QIODevice::ReadOnly));
    result.out = out.readAll();
    result.err = err.readAll();
    return result;
}

QByteArrayList entriesOf(const QByteArray& folder) {
    QByteArrayList names;
    struct Closer {
        void operator()(DIR* d) const { ::closedir(d); }
    };
    const std::unique_ptr<DIR, Closer> dir(::opendir(folder.constData()));
    while (dir) {
        const dirent* entry = ::readdir(dir.get());
        if (entry == nullptr) {
            break;
        }
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..") {
            names.append(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct LoggedSource {
    QByteArray fileName;
    QByteArray sourcePath;
    QByteArrayList newFileNames;
    QStringList statuses;
};

// The log's sources, their names encoded back to bytes.
std::vector<LoggedSource> loggedSources(const QByteArray& logs) {
    const QByteArrayList files = entriesOf(logs);
    EXPECT_EQ(files.size(), 1);
    std::vector<LoggedSource> sources;
    if (files.size() != 1) {
        return sources;
    }
    QFile file(QString::fromUtf8(logs + "/" + files.first()));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        const auto attribute = [&](const char* name) {
            return NativePath::encode(xml.attributes().value(QLatin1String(name)));
        };
        if (xml.name() == QLatin1String("Files")) {
            sources.push_back({attribute("FileName"), attribute("SourcePath"), {}, {}});
        } else if (xml.name() == QLatin1String("File") && !sources.empty()) {
            sources.back().newFileNames.append(attribute("NewFileName"));
            sources.back().statuses.append(
                xml.attributes().value(QLatin1String("Status")).toString());
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return sources;
}

class OddNamesCliFixture {
protected:
    QByteArray work = QFile::encodeName(makeTestFolder(QStringLiteral("cli-work")));
    QByteArray in = QFile::encodeName(makeTestFolder(QStringLiteral("in")));
    QByteArray out = QFile::encodeName(makeTestFolder(QStringLiteral("out")));
    QByteArray logs = QFile::encodeName(makeTestFolder(QStringLiteral("logs")));
    QByteArray tiff = smallTiffBytes();

    RawResult convert(const QByteArrayList& sources, const QByteArrayList& options = {}) {
        return runRaw(QByteArrayList{"-o", out, "--log-dir", logs} + options +
                          QByteArrayList{"--"} + sources,
                      work);
    }
};

class OddNamesCliTest : public OddNamesCliFixture, public ::testing::TestWithParam<OddName> {};

TEST_P(OddNamesCliTest, ConvertsTheNamedFileAndLogsItsName) {
    const OddName& name = GetParam();
    ASSERT_TRUE(writeAtBytes(in + "/" + name.bytes, tiff));
    const RawResult r = convert({in + "/" + name.bytes});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(entriesOf(out), QByteArrayList{name.firstJpeg()});
    EXPECT_TRUE(r.out.contains(QByteArray("Log: " + logs + "/"))) << r.out.toStdString();
    const std::vector<LoggedSource> sources = loggedSources(logs);
    ASSERT_EQ(sources.size(), 1U);
    EXPECT_EQ(sources[0].fileName, name.bytes);
    EXPECT_EQ(sources[0].sourcePath, in);
    EXPECT_EQ(sources[0].newFileNames, QByteArrayList{name.firstJpeg()});
    EXPECT_EQ(sources[0].statuses, QStringList{QStringLiteral("Completed")});
}

TEST_P(OddNamesCliTest, AMissingFileIsNamedAsItsBytes) {
    const RawResult r = convert({in + "/" + GetParam().bytes});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(
        r.err.contains(QByteArray("no such file or folder: '" + in + "/" + GetParam().bytes + "'")))
        << r.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Table, OddNamesCliTest, ::testing::ValuesIn(oddNames()), ByName());

class OddNamesCliRunTest : public OddNamesCliFixture, public ::testing::Test {
protected:
    QByteArrayList allFirstJpegs() const {
        QByteArrayList names;
        for (const OddName& name : oddNames()) {
            names.append(name.firstJpeg());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(OddNamesCliRunTest, AFolderOfOddNamesConvertsEveryFile) {
    const QByteArray sub = in + "/sub\xff";
    ASSERT_EQ(::mkdir(sub.constData(), 0755), 0);
    for (const OddName& name : oddNames()) {
        ASSERT_TRUE(writeAtBytes(sub + "/" + name.bytes, tiff));
    }
    const RawResult r = convert({in}, {"-r"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(entriesOf(out), allFirstJpegs());
    EXPECT_EQ(loggedSources(logs).size(), oddNames().size());
}

TEST_F(OddNamesCliRunTest, AListOfOddNamesConvertsEveryLine) {
    QByteArray list;
    size_t listed = 0;
    for (const OddName& name : oddNames()) {
        ASSERT_TRUE(writeAtBytes(in + "/" + name.bytes, tiff));
        if (!name.bytes.contains('\n')) {
            list += in + "/" + name.bytes + "\n";
            ++listed;
        }
    }
    ASSERT_TRUE(writeAtBytes(work + "/list \xff.txt", list));
    const RawResult r = convert({}, {"--list", work + "/list \xff.txt"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(entriesOf(out).size(), listed);
}

TEST_F(OddNamesCliRunTest, MirroredFoldersKeepTheirBytes) {
    const QByteArray sub = in + "/a\xff/b\xe9";
    ASSERT_EQ(::mkdir(QByteArray(in + "/a\xff").constData(), 0755), 0);
    ASSERT_EQ(::mkdir(sub.constData(), 0755), 0);
    ASSERT_TRUE(writeAtBytes(sub + "/\xfe.tif", tiff));
    const RawResult r = convert({in}, {"-r", "--mirror", in});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(existsAtBytes(out + "/a\xff/b\xe9/\xfe"
                                    "1.jpg"));
}

TEST(OddNamesCliListTest, AListOnStandardInputNamesFilesThatAreNotUtf8) {
    const QByteArray work = QFile::encodeName(makeTestFolder(QStringLiteral("cli-work")));
    const QByteArray in = QFile::encodeName(makeTestFolder(QStringLiteral("in")));
    const QByteArray logs = QFile::encodeName(makeTestFolder(QStringLiteral("logs")));
    const QByteArrayList names{"\xff.tif", "caf\xe9.tif", "\xee\xbf\xbf.tif", "two words.tif"};
    QByteArray list;
    for (const QByteArray& name : names) {
        ASSERT_TRUE(writeAtBytes(in + "/" + name, smallTiffBytes()));
        list += in + "/" + name + "\n";
    }
    const RawResult r = runRaw({"--log-dir", logs, "--list", "-"}, work, list);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QByteArrayList logged;
    for (const LoggedSource& source : loggedSources(logs)) {
        logged.append(source.fileName);
    }
    EXPECT_EQ(logged, names);
}

class OddNamesCliLimitsTest : public OddNamesCliFixture, public ::testing::Test {};

TEST_F(OddNamesCliLimitsTest, AnOutputNamePastNameMaxFailsThatPageClearly) {
    const QByteArray name = QByteArray(NAME_MAX - 4, '\xe9') + ".tif"; // output: 256 bytes
    ASSERT_TRUE(writeAtBytes(in + "/" + name, tiff));
    const RawResult r = convert({in + "/" + name});
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_TRUE(entriesOf(out).isEmpty()); // nothing cut short, nothing half-written
    EXPECT_TRUE(r.err.contains("File name too long")) << r.err.toStdString();
    const std::vector<LoggedSource> sources = loggedSources(logs);
    ASSERT_EQ(sources.size(), 1U);
    EXPECT_EQ(sources[0].fileName, name);
    EXPECT_EQ(sources[0].statuses, QStringList{QStringLiteral("Unable to save page!")});
}

TEST_F(OddNamesCliLimitsTest, ASourceNearPathMaxConvertsBesideItself) {
    // Room left in the folder for the writer's temporary name beside the output.
    const qsizetype folderSize = PATH_MAX - 64;
    QByteArray folder = in;
    for (qsizetype room = folderSize - folder.size() - 1; room > 1;
         room = folderSize - folder.size() - 1) {
        folder += "/" + QByteArray("\xc3\xa9").repeated(qMin<qsizetype>(100, room / 2));
        ASSERT_EQ(::mkdir(folder.constData(), 0755), 0) << folder.size();
    }
    const QByteArray source =
        folder + "/" + QByteArray(PATH_MAX - 2 - folder.size() - 1 - 4, 'a') + ".tif";
    ASSERT_EQ(source.size(), PATH_MAX - 2); // its output is one byte longer
    ASSERT_TRUE(writeAtBytes(source, tiff));
    const RawResult r = runRaw({"--log-dir", logs, "--", source}, work);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(existsAtBytes(source.chopped(4) + "1.jpg"));
}

} // namespace
