#include "platform/NativePath.h"

#include "support/OddNames.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QUrl>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <climits>
#include <gtest/gtest.h>
#include <random>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct DecodeCase {
    std::string name;
    QByteArray bytes;
    QString decoded;
    QString shown;
};

QString escapes(std::initializer_list<int> bytes) {
    QString out;
    for (const int b : bytes) {
        out.append(QChar(0xEF00 + b));
    }
    return out;
}

const QString kFffd = QString(QChar(0xFFFD));

const std::vector<DecodeCase> kDecodeCases = {
    {"Empty", "", QString(), QString()},
    {"Ascii", "a b/c.tif", QStringLiteral("a b/c.tif"), QStringLiteral("a b/c.tif")},
    {"Utf8", "caf\xc3\xa9", QStringLiteral("café"), QStringLiteral("café")},
    {"FourByteUtf8", "\xf0\x9f\x93\x84", QString::fromUtf8("\xf0\x9f\x93\x84"),
     QString::fromUtf8("\xf0\x9f\x93\x84")},
    {"LoneHighByte", "\xff", escapes({0xFF}), kFffd},
    {"Latin1", "caf\xe9", QStringLiteral("caf") + escapes({0xE9}), QStringLiteral("caf") + kFffd},
    {"LoneContinuation", "\x80", escapes({0x80}), kFffd},
    {"TruncatedAtEnd", "\xe6\x97", escapes({0xE6, 0x97}), kFffd + kFffd},
    {"TruncatedBeforeAscii", "\xe6\x97x", escapes({0xE6, 0x97}) + QLatin1Char('x'),
     kFffd + kFffd + QLatin1Char('x')},
    {"Overlong", "\xc0\xaf", escapes({0xC0, 0xAF}), kFffd + kFffd},
    {"OverlongThreeBytes", "\xe0\x80\xaf", escapes({0xE0, 0x80, 0xAF}), kFffd + kFffd + kFffd},
    {"EncodedSurrogate", "\xed\xa0\x80", escapes({0xED, 0xA0, 0x80}), kFffd + kFffd + kFffd},
    {"PastU10FFFF", "\xf4\x90\x80\x80", escapes({0xF4, 0x90, 0x80, 0x80}),
     kFffd + kFffd + kFffd + kFffd},
    {"LastValidCodePoint", "\xf4\x8f\xbf\xbf", QString::fromUcs4(U"\U0010FFFF"),
     QString::fromUcs4(U"\U0010FFFF")},
    {"FirstEscapeCharacterAsUtf8", "\xee\xbe\x80", escapes({0xEE, 0xBE, 0x80}),
     kFffd + kFffd + kFffd},
    {"LastEscapeCharacterAsUtf8", "\xee\xbf\xbf", escapes({0xEE, 0xBF, 0xBF}),
     kFffd + kFffd + kFffd},
    {"NeighboursOfTheEscapes", "\xee\xbd\xbf\xef\x80\x80", QString(QChar(0xEF7F)) + QChar(0xF000),
     QString(QChar(0xEF7F)) + QChar(0xF000)},
    {"ReplacementCharacterIsText", "\xef\xbf\xbd", kFffd, kFffd},
};

class NativePathDecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(NativePathDecodeTest, DecodesShowsAndEncodesBack) {
    const DecodeCase& c = GetParam();
    const QString decoded = NativePath::decode(c.bytes);
    EXPECT_EQ(decoded, c.decoded);
    EXPECT_EQ(NativePath::displayPath(decoded), c.shown);
    EXPECT_EQ(NativePath::encode(decoded), c.bytes);
    // Through the text forms the program stores: UTF-8 and a URL.
    EXPECT_EQ(NativePath::encode(QString::fromUtf8(decoded.toUtf8())), c.bytes);
    EXPECT_EQ(NativePath::encode(QUrl::fromLocalFile(QLatin1Char('/') + decoded).toLocalFile()),
              QByteArray("/" + c.bytes));
}

INSTANTIATE_TEST_SUITE_P(Table, NativePathDecodeTest, ::testing::ValuesIn(kDecodeCases), ByName());

// Bytes drawn mostly from where UTF-8 goes wrong: lead and continuation bytes
// and the sequences of the escape range itself.
QByteArray randomBytes(std::mt19937& random) {
    static const QByteArray kPieces[] = {"\xee", "\xbe", "\xbf", "\xef", "\x80", "\xc3",
                                         "\xe6", "\xf0", "\xf4", "\xed", "\xa0", "a",
                                         "/",    "\xff", "\xc0", "\x9f"};
    std::uniform_int_distribution<int> length(0, 24);
    std::uniform_int_distribution<int> piece(0, static_cast<int>(std::size(kPieces)));
    std::uniform_int_distribution<int> anyByte(1, 255);
    QByteArray bytes;
    for (int n = length(random); n > 0; --n) {
        const int k = piece(random);
        bytes += k == static_cast<int>(std::size(kPieces)) ? QByteArray(1, char(anyByte(random)))
                                                           : kPieces[k];
    }
    return bytes;
}

TEST(NativePathTest, EveryByteStringComesBackExactly) {
    std::mt19937 random(20261208);
    for (int i = 0; i < 200000; ++i) {
        const QByteArray bytes = randomBytes(random);
        const QString decoded = NativePath::decode(bytes);
        ASSERT_EQ(NativePath::encode(decoded), bytes) << bytes.toHex().toStdString();
        // Valid Unicode, so UTF-8 and back keeps it (a leading BOM too).
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        const QString read = utf8(decoded.toUtf8());
        ASSERT_FALSE(utf8.hasError()) << bytes.toHex().toStdString();
        ASSERT_EQ(read, decoded) << bytes.toHex().toStdString();
    }
}

TEST(NativePathTest, EveryPairOfBytesComesBackExactly) {
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const QByteArray bytes = QByteArray(1, char(a)) + char(b) + char(0xBF);
            ASSERT_EQ(NativePath::encode(NativePath::decode(bytes)), bytes)
                << bytes.toHex().toStdString();
        }
    }
}

TEST(NativePathTest, ALoneSurrogateInTypedTextEncodesAsTheReplacementCharacter) {
    const QString typed = QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b");
    EXPECT_EQ(NativePath::encode(typed), QByteArray("a\xef\xbf\xbd"
                                                    "b"));
}

TEST(NativePathTest, EscapesSurviveAnXmlAttributeAndItsLineFeeds) {
    const QString name = NativePath::decode("a\nb\t\xff\xee\xbf\xbf<&\".tif");
    QString xml;
    QXmlStreamWriter writer(&xml);
    writer.writeStartElement(QStringLiteral("Files"));
    writer.writeAttribute(QStringLiteral("FileName"), name);
    writer.writeEndElement();
    QXmlStreamReader reader(xml);
    ASSERT_TRUE(reader.readNextStartElement());
    EXPECT_EQ(NativePath::encode(reader.attributes().value(QStringLiteral("FileName"))),
              QByteArray("a\nb\t\xff\xee\xbf\xbf<&\".tif"));
}

TEST(NativePathTest, DisplayNameIsTheLastComponentShown) {
    EXPECT_EQ(NativePath::displayName(NativePath::decode("/x/\xff/caf\xe9.tif")),
              QStringLiteral("caf") + kFffd + QStringLiteral(".tif"));
    EXPECT_EQ(NativePath::displayName(QStringLiteral("/x/folder/")), QStringLiteral("folder"));
    EXPECT_EQ(NativePath::displayName(QStringLiteral("/")), QStringLiteral("/"));
}

TEST(NativePathTest, ArgumentsAreDecodedExactly) {
    const char* argv[] = {"prog", "\xff.tif", "-o", "caf\xc3\xa9"};
    const QStringList arguments = NativePath::arguments(4, argv);
    ASSERT_EQ(arguments.size(), 4);
    EXPECT_EQ(arguments[0], QStringLiteral("prog"));
    EXPECT_EQ(NativePath::encode(arguments[1]), QByteArray("\xff.tif"));
    EXPECT_EQ(arguments[3], QStringLiteral("café"));
}

TEST(NativePathTest, SystemUrlsCarryTheBytesBothWays) {
    const QString path = NativePath::decode("/scans/\xff caf\xc3\xa9%.tif");
    const QUrl url = NativePath::systemUrl(path);
    EXPECT_EQ(url.toEncoded(), QByteArray("file:///scans/%FF%20caf%C3%A9%25.tif"));
    EXPECT_EQ(NativePath::pathOfSystemUrl(url), path);
    // As a file manager drops it.
    EXPECT_EQ(NativePath::pathOfSystemUrl(QUrl::fromEncoded("file:///scans/%FF%0Aa.tif")),
              NativePath::decode("/scans/\xff\na.tif"));
    EXPECT_EQ(NativePath::pathOfSystemUrl(QUrl(QStringLiteral("https://example.com/a.tif"))),
              QString());
}

TEST(NativePathTest, RelativePathsStartAtTheCurrentFolderReadAsBytes) {
    const QByteArray folder = QFile::encodeName(makeTestFolder(QStringLiteral("cwd"))) + "/\xff";
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    const QString before = QDir::currentPath();
    ASSERT_EQ(::chdir(folder.constData()), 0);
    const QString absolute = NativePath::absolutePath(QStringLiteral("./a/../b.tif"));
    ASSERT_TRUE(QDir::setCurrent(before));
    EXPECT_EQ(NativePath::encode(absolute), folder + "/b.tif");
    EXPECT_EQ(NativePath::absolutePath(QStringLiteral("/x//y/./z/")), QStringLiteral("/x/y/z"));
}

class NativePathFileTest : public ::testing::TestWithParam<OddName> {
protected:
    QByteArray folder = QFile::encodeName(makeTestFolder(QStringLiteral("native")));

    QString decoded(const QByteArray& relative) const {
        return NativePath::decode(folder + "/" + relative);
    }
};

TEST_P(NativePathFileTest, FindsStatsListsAndOpensTheFile) {
    const QByteArray name = GetParam().bytes;
    ASSERT_TRUE(writeAtBytes(folder + "/" + name, "12345"));
    const QString path = decoded(name);
    EXPECT_TRUE(NativePath::exists(path));
    EXPECT_TRUE(NativePath::isFile(path));
    EXPECT_FALSE(NativePath::isDirectory(path));
    EXPECT_FALSE(NativePath::isSymLink(path));
    EXPECT_TRUE(NativePath::isAccessible(path, R_OK));
    EXPECT_EQ(NativePath::fileSize(path), 5);
    const auto times = NativePath::fileTimes(path);
    ASSERT_TRUE(times.has_value());
    EXPECT_TRUE(times->modified.isValid());
    EXPECT_EQ(NativePath::folderEntries(NativePath::decode(folder)),
              QStringList{path.mid(path.lastIndexOf('/') + 1)});
    const auto file = NativePath::openForReading(path);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->readAll(), QByteArray("12345"));
}

TEST_P(NativePathFileTest, MakesFoldersOfTheName) {
    const QByteArray name = GetParam().bytes;
    const QString nested = decoded(name + "/" + name);
    EXPECT_TRUE(NativePath::makePath(nested));
    EXPECT_TRUE(NativePath::makePath(nested)); // already there
    struct stat info {};
    ASSERT_EQ(::stat(QByteArray(folder + "/" + name + "/" + name).constData(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_TRUE(NativePath::isDirectory(nested));
}

TEST_P(NativePathFileTest, ADialogsLossyPathFindsTheFileAgain) {
    const QByteArray exact = folder + "/sub\xe9/" + GetParam().bytes;
    ASSERT_EQ(::mkdir(QByteArray(folder + "/sub\xe9").constData(), 0755), 0);
    ASSERT_TRUE(writeAtBytes(exact, "x"));
    // As QFileDialog hands it over: decoded by Qt, each stray byte lost.
    const QString lossy = QString::fromUtf8(exact);
    EXPECT_EQ(NativePath::encode(NativePath::fromQtPath(lossy)), exact);
}

INSTANTIATE_TEST_SUITE_P(OddNames, NativePathFileTest, ::testing::ValuesIn(oddNames()), ByName());

TEST(NativePathTest, MissingPathsAndLinksAreToldApart) {
    const QByteArray folder = QFile::encodeName(makeTestFolder(QStringLiteral("links")));
    ASSERT_EQ(::symlink("\xff-nowhere", QByteArray(folder + "/\xfe").constData()), 0);
    const QString link = NativePath::decode(folder + "/\xfe");
    EXPECT_TRUE(NativePath::isSymLink(link));
    EXPECT_FALSE(NativePath::exists(link)); // dangling
    EXPECT_FALSE(NativePath::isFile(link));
    EXPECT_EQ(NativePath::fileSize(link), -1);
    EXPECT_FALSE(NativePath::fileTimes(link).has_value());
    EXPECT_EQ(NativePath::openForReading(link), nullptr);
    EXPECT_FALSE(NativePath::exists(QString()));
    EXPECT_TRUE(NativePath::folderEntries(link).isEmpty());
    // A plain file in the way of a folder to make.
    ASSERT_TRUE(writeAtBytes(folder + "/file\xff", "x"));
    EXPECT_FALSE(NativePath::makePath(NativePath::decode(folder + "/file\xff/sub")));
}

TEST(NativePathTest, ALossyPathThatMatchesTwoNamesIsLeftAsItIs) {
    const QByteArray folder = QFile::encodeName(makeTestFolder(QStringLiteral("twins")));
    ASSERT_TRUE(writeAtBytes(folder + "/\xfe.tif", "x"));
    ASSERT_TRUE(writeAtBytes(folder + "/\xff.tif", "x"));
    const QString lossy = QString::fromUtf8(folder + "/\xff.tif");
    EXPECT_EQ(NativePath::fromQtPath(lossy), lossy);
    EXPECT_EQ(NativePath::fromQtPath(QStringLiteral("relative/\uFFFD")),
              QStringLiteral("relative/\uFFFD"));
}

TEST(NativePathTest, PathsNearPathMaxAreReached) {
    QByteArray path = QFile::encodeName(makeTestFolder(QStringLiteral("deep")));
    const QByteArray component = QByteArray(200, '\xe9');
    while (path.size() + 1 + component.size() + 10 < PATH_MAX) {
        path += "/" + component;
    }
    const QString folder = NativePath::decode(path);
    ASSERT_TRUE(NativePath::makePath(folder));
    const QByteArray file = path + "/\xff" + QByteArray(PATH_MAX - 7 - path.size(), 'a') + ".tif";
    ASSERT_EQ(file.size(), PATH_MAX - 1);
    ASSERT_TRUE(writeAtBytes(file, "x"));
    EXPECT_TRUE(NativePath::isFile(NativePath::decode(file)));
    EXPECT_EQ(NativePath::folderEntries(folder).size(), 1);
    EXPECT_FALSE(NativePath::makePath(NativePath::decode(file + "/more")));
}

} // namespace
