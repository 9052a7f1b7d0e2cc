#include "support/OddNames.h"

#include "support/TestEnvironment.h"
#include "support/TestTiff.h"

#include <QDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The longest base whose first page name, base + "1.jpg", is exactly
// NAME_MAX (255) bytes.
QByteArray longBase(const QByteArray& unit) {
    QByteArray base;
    while (base.size() + unit.size() <= 250) {
        base += unit;
    }
    return base + QByteArray(250 - base.size(), 'x');
}

} // namespace

const std::vector<OddName>& oddNames() {
    static const std::vector<OddName> names = {
        {"Space", "two words.tif"},
        {"Quotes", "it's \"quoted\".tif"},
        {"ShellCharacters", "a&b;c|$(d)`e`*.tif"},
        {"LineFeed", "line\nfeed.tif"},
        {"Tab", "tab\there.tif"},
        {"CarriageReturn", "cr\rname.tif"},
        {"LeadingDash", "-o.tif"},
        {"LeadingDashes", "--help.tif"},
        {"Backslash", "back\\slash.tif"},
        {"PercentAndHash", "100%25 #1?.tif"},
        {"Utf8", "caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac.tif"},
        {"Utf8FourBytes", "\xf0\x9f\x93\x84.tif"},
        {"Latin1", "caf\xe9.tif"},
        {"LoneFF", "\xff.tif"},
        {"EveryHighByte", "\x80\x81\xbf\xc0\xc1\xf5\xfe\xff.tif"},
        {"TruncatedSequence", "a\xe6\x97.tif"},
        {"EncodedSurrogate", "\xed\xa0\x80.tif"},
        {"OverlongSlash", "\xc0\xaf.tif"},
        {"EscapeCharacterAsUtf8", "\xee\xbe\x80\xee\xbf\xbf.tif"},
        {"EscapeLookalikeAfterInvalid", "\xff\xee\xbf\xbf.tif"},
        {"ReplacementCharacter", "\xef\xbf\xbd.tif"},
        {"Long254Ascii", longBase("a") + ".tif"},
        {"Long254Utf8", longBase("\xc3\xa9") + ".tif"},
        {"Long254Invalid", longBase("\xe9") + ".tif"},
    };
    return names;
}

bool writeAtBytes(const QByteArray& path, const QByteArray& content) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    const bool written = ::write(fd, content.constData(), static_cast<size_t>(content.size())) ==
                         static_cast<ssize_t>(content.size());
    return ::close(fd) == 0 && written;
}

bool existsAtBytes(const QByteArray& path) {
    struct stat info {};
    return ::lstat(path.constData(), &info) == 0;
}

QByteArray smallTiffBytes(int pages) {
    const QString path =
        QDir(makeTestFolder(QStringLiteral("odd-names-tiff"))).filePath(QStringLiteral("t.tif"));
    std::vector<TestTiffPage> layout(static_cast<size_t>(pages), rgbPage(8, 8, 8));
    if (!writeTestTiff(path, layout)) {
        return {};
    }
    return readFileBytes(path);
}
