#include "cli/ConvertRequest.h"

#include "engine/OutputFormats.h"
#include "engine/Process.h"
#include "engine/Settings.h"
#include "platform/Edition.h"

#include <QCommandLineParser>
#include <QStringList>

#include <algorithm>
#include <optional>
#include <span>

namespace {

constexpr int kMaxJobs = Process::kMaxWorkers;

constexpr int kUsageError = 2;
constexpr int kMaxLeadingZeros = Settings::kMaxLeadingZeros;

ParsedCommandLine usageError(const QString& text) {
    ParsedCommandLine parsed;
    parsed.finished = true;
    parsed.exitCode = kUsageError;
    parsed.output = QStringLiteral("pictavo-convert: ") + text +
                    QStringLiteral("\nTry 'pictavo-convert --help' for more information.\n");
    return parsed;
}

// "a, b or c": the names of --type or --compression.
template <typename Row> QString choices(std::span<const Row> rows) {
    QStringList names;
    for (const Row& row : rows) {
        names.append(QLatin1StringView(row.cliName));
    }
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

template <typename Row> const Row* withCliName(std::span<const Row> rows, const QString& name) {
    const auto found = std::find_if(rows.begin(), rows.end(), [&name](const Row& row) {
        return name == QLatin1StringView(row.cliName);
    });
    return found == rows.end() ? nullptr : &*found;
}

QString defaultTypeName() {
    return QLatin1StringView(outputFormat(ConvertRequest().outputType)->cliName);
}

QString defaultCompressionName() {
    return QLatin1StringView(tiffCompression(ConvertRequest().tiffCompressionIndex).cliName);
}

struct Options {
    QCommandLineOption type{{QStringLiteral("t"), QStringLiteral("type")},
                            QStringLiteral("Output type: %1 (default %2).")
                                .arg(choices(outputFormats()), defaultTypeName()),
                            QStringLiteral("type"),
                            defaultTypeName()};
    QCommandLineOption quality{{QStringLiteral("q"), QStringLiteral("quality")},
                               QStringLiteral("JPEG quality in tenths, 0-10 (default 10)."),
                               QStringLiteral("0-10"),
                               QStringLiteral("10")};
    QCommandLineOption compression{{QStringLiteral("c"), QStringLiteral("compression")},
                                   QStringLiteral("TIFF compression: %1 (default %2).")
                                       .arg(choices(tiffCompressions()), defaultCompressionName()),
                                   QStringLiteral("scheme"),
                                   defaultCompressionName()};
    QCommandLineOption split{QStringLiteral("split"),
                             QStringLiteral("TIFF and PDF output: one file per page.")};
    QCommandLineOption separator{
        {QStringLiteral("s"), QStringLiteral("separator")},
        QStringLiteral("Text between base name and page number (default empty)."),
        QStringLiteral("text")};
    QCommandLineOption leadingZeros{
        {QStringLiteral("z"), QStringLiteral("leading-zeros")},
        QStringLiteral("Minimum digits of the page number (default 0)."),
        QStringLiteral("N"),
        QStringLiteral("0")};
    QCommandLineOption output{{QStringLiteral("o"), QStringLiteral("output")},
                              QStringLiteral("Output folder, made with its parents when missing "
                                             "(default: each source's own folder)."),
                              QStringLiteral("dir")};
    QCommandLineOption mirror{
        QStringLiteral("mirror"),
        QStringLiteral("Write each source into the output folder's copy of its folder under <root> "
                       "(needs --output)."),
        QStringLiteral("root")};
    QCommandLineOption skipExisting{
        QStringLiteral("skip-existing"),
        QStringLiteral("Leave sources whose outputs are all there already.")};
    QCommandLineOption jobs{
        {QStringLiteral("j"), QStringLiteral("jobs")},
        QStringLiteral("Pages converted at once, 1-%1 (default: one per core).").arg(kMaxJobs),
        QStringLiteral("N")};
    QCommandLineOption recursive{{QStringLiteral("r"), QStringLiteral("recursive")},
                                 QStringLiteral("Walk folders into their subfolders.")};
    QCommandLineOption list{
        {QStringLiteral("l"), QStringLiteral("list")},
        QStringLiteral("Also read paths from FILE, one per line (\"-\" for standard input)."),
        QStringLiteral("file")};
    QCommandLineOption logDir{
        QStringLiteral("log-dir"),
        QStringLiteral("Where the XML log goes (default: the application folder's Logs)."),
        QStringLiteral("dir")};
    QCommandLineOption quiet{
        QStringLiteral("quiet"),
        QStringLiteral("No progress, and no final message when all went well: stderr gets only "
                       "errors and notes, stdout only the 'Log: PATH' line.")};
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help.")};
    QCommandLineOption version{QStringLiteral("version"), QStringLiteral("Show the version.")};

    QList<QCommandLineOption> all() const {
        return {type,   quality, compression,  split,  separator, leadingZeros,
                output, mirror,  skipExisting, jobs,   recursive, list,
                logDir, quiet,   help,         version};
    }
};

void describe(QCommandLineParser& parser, const Options& options) {
    parser.setApplicationDescription(
        QStringLiteral("Converts TIFF files, single- or multi-page, into one image file per page "
                       "(JPEG, PNG, BMP, GIF, TIFF or PDF), or into one multi-page TIFF or PDF per "
                       "source."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.addOptions(options.all());
    parser.addPositionalArgument(
        QStringLiteral("PATH"),
        QStringLiteral("A TIFF file, or a folder: its TIFF files (extensions tif, TIF, tiff, TIFF; "
                       "hidden files skipped)."),
        QStringLiteral("PATH..."));
}

// A whole number in [low, high], or nothing.
std::optional<int> boundedNumber(const QString& text, int low, int high) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

} // namespace

ParsedCommandLine parseCommandLine(const QStringList& arguments, const Edition& edition) {
    QCommandLineParser parser;
    const Options options;
    describe(parser, options);
    if (!parser.parse(arguments)) {
        return usageError(parser.errorText());
    }
    ParsedCommandLine parsed;
    if (parser.isSet(options.help)) {
        parsed.finished = true;
        parsed.output = parser.helpText();
        return parsed;
    }
    if (parser.isSet(options.version)) {
        parsed.finished = true;
        parsed.output = QStringLiteral("pictavo-convert ") + edition.version + QLatin1Char('\n');
        return parsed;
    }

    ConvertRequest& r = parsed.request;
    const OutputFormat* format = withCliName(outputFormats(), parser.value(options.type).toLower());
    if (format == nullptr) {
        return usageError(QStringLiteral("unknown output type '%1' for --type (%2)")
                              .arg(parser.value(options.type), choices(outputFormats())));
    }
    r.outputType = format->id;
    const auto quality = boundedNumber(parser.value(options.quality), 0, 10);
    if (!quality) {
        return usageError(QStringLiteral("--quality takes a whole number from 0 to 10, not '%1'")
                              .arg(parser.value(options.quality)));
    }
    r.jpegQuality = *quality;
    const TiffCompression* scheme =
        withCliName(tiffCompressions(), parser.value(options.compression).toLower());
    if (scheme == nullptr) {
        return usageError(QStringLiteral("unknown compression '%1' for --compression (%2)")
                              .arg(parser.value(options.compression), choices(tiffCompressions())));
    }
    r.tiffCompressionIndex = scheme->index;
    const auto zeros = boundedNumber(parser.value(options.leadingZeros), 0, kMaxLeadingZeros);
    if (!zeros) {
        return usageError(
            QStringLiteral("--leading-zeros takes a whole number from 0 to %1, not '%2'")
                .arg(kMaxLeadingZeros)
                .arg(parser.value(options.leadingZeros)));
    }
    r.leadingZeros = *zeros;
    r.splitTiff = parser.isSet(options.split);
    r.separator = parser.value(options.separator);
    r.outputFolder = parser.value(options.output);
    if (parser.isSet(options.mirror)) {
        if (r.outputFolder.isEmpty()) {
            return usageError(QStringLiteral("--mirror needs an output folder (-o DIR)"));
        }
        r.mirrorRoot = parser.value(options.mirror);
        if (r.mirrorRoot.isEmpty()) {
            return usageError(QStringLiteral("--mirror needs a folder"));
        }
    }
    r.skipExisting = parser.isSet(options.skipExisting);
    if (parser.isSet(options.jobs)) {
        const auto jobs = boundedNumber(parser.value(options.jobs), 1, kMaxJobs);
        if (!jobs) {
            return usageError(QStringLiteral("--jobs takes a whole number from 1 to %1, not '%2'")
                                  .arg(kMaxJobs)
                                  .arg(parser.value(options.jobs)));
        }
        r.jobs = *jobs;
    }
    r.recursive = parser.isSet(options.recursive);
    r.listFiles = parser.values(options.list);
    r.logFolder = parser.value(options.logDir);
    r.quiet = parser.isSet(options.quiet);
    r.paths = parser.positionalArguments();
    if (r.paths.isEmpty() && r.listFiles.isEmpty()) {
        return usageError(QStringLiteral("no PATH given"));
    }
    return parsed;
}
