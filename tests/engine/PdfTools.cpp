#include "PdfTools.h"

#include "support/TestEnvironment.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>

#include <algorithm>
#include <cstdlib>
#include <limits>

ToolRun runTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    ToolRun run;
    if (!process.waitForStarted() || !process.waitForFinished(-1)) {
        run.output = program + QStringLiteral(" did not run: ") + process.errorString();
        return run;
    }
    run.output = QString::fromLocal8Bit(process.readAll());
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return run;
}

std::string qpdfCheckProblems(const QString& path) {
    const ToolRun run = runTool(QStringLiteral("qpdf"), {QStringLiteral("--check"), path});
    if (run.exitCode != 0 || run.output.contains(QStringLiteral("WARNING"), Qt::CaseInsensitive) ||
        !run.output.contains(QStringLiteral("No syntax or stream encoding errors"))) {
        return run.output.toStdString();
    }
    return {};
}

std::vector<ListedImage> listImages(const QString& path) {
    const ToolRun run = runTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), path});
    std::vector<ListedImage> images;
    if (run.exitCode != 0) {
        return images;
    }
    const QStringList lines = run.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (qsizetype i = 2; i < lines.size(); ++i) { // past the heading and its rule
        const QStringList f = lines[i].split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (f.size() < 10) {
            continue;
        }
        images.push_back(
            {f[0].toInt(), f[2], f[3].toInt(), f[4].toInt(), f[5], f[7].toInt(), f[8]});
    }
    return images;
}

std::vector<PageSizePoints> pageSizes(const QString& path) {
    const ToolRun run = runTool(QStringLiteral("pdfinfo"),
                                {QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                                 QString::number(std::numeric_limits<int>::max()), path});
    std::vector<PageSizePoints> sizes;
    static const QRegularExpression line(
        QStringLiteral("^Page +\\d+ size: +([0-9.]+) x ([0-9.]+) pts"),
        QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(run.output); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        sizes.push_back({m.captured(1).toDouble(), m.captured(2).toDouble()});
    }
    return sizes;
}

// The renderer smooths images drawn at less than four times their size, so
// the page is drawn at four times the resolution and each pixel read back
// from the middle of its block.
constexpr int kOversampling = 4;

QImage renderPage(const QString& path, int page, double xDpi, double yDpi) {
    const QString folder = makeTestFolder(QStringLiteral("render"));
    const QString stem = QDir(folder).filePath(QStringLiteral("page"));
    const ToolRun run = runTool(
        QStringLiteral("pdftoppm"),
        {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"), QString::number(page),
         QStringLiteral("-rx"), QString::number(xDpi * kOversampling, 'f', 4),
         QStringLiteral("-ry"), QString::number(yDpi * kOversampling, 'f', 4),
         QStringLiteral("-aa"), QStringLiteral("no"), QStringLiteral("-aaVector"),
         QStringLiteral("no"), QStringLiteral("-singlefile"), path, stem});
    if (run.exitCode != 0) {
        return {};
    }
    const QImage drawn =
        QImage(stem + QStringLiteral(".ppm")).convertToFormat(QImage::Format_RGB888);
    QImage pixels(drawn.width() / kOversampling, drawn.height() / kOversampling,
                  QImage::Format_RGB888);
    for (int y = 0; y < pixels.height(); ++y) {
        const uchar* from = drawn.constScanLine(y * kOversampling + kOversampling / 2);
        uchar* to = pixels.scanLine(y);
        for (int x = 0; x < pixels.width(); ++x) {
            std::copy_n(from + (x * kOversampling + kOversampling / 2) * 3, 3, to + x * 3);
        }
    }
    return pixels;
}

std::string renderDifference(const QImage& got, const QImage& want, int tolerance) {
    if (got.size() != want.size()) {
        return "size " + std::to_string(got.width()) + "x" + std::to_string(got.height()) +
               ", want " + std::to_string(want.width()) + "x" + std::to_string(want.height());
    }
    for (int y = 0; y < got.height(); ++y) {
        const uchar* p = got.constScanLine(y);
        const uchar* q = want.constScanLine(y);
        for (int x = 0; x < got.width(); ++x) {
            for (int c = 0; c < 3; ++c) {
                if (std::abs(int(p[x * 3 + c]) - int(q[x * 3 + c])) > tolerance) {
                    return "pixel " + std::to_string(x) + "," + std::to_string(y) + ": got " +
                           std::to_string(p[x * 3]) + "/" + std::to_string(p[x * 3 + 1]) + "/" +
                           std::to_string(p[x * 3 + 2]) + ", want " + std::to_string(q[x * 3]) +
                           "/" + std::to_string(q[x * 3 + 1]) + "/" + std::to_string(q[x * 3 + 2]);
                }
            }
        }
    }
    return {};
}
