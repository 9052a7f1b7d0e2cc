#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

// The PDF tools the tests read written files with (poppler-utils and qpdf,
// installed by scripts/setup-deps.sh). A missing tool fails the test that
// needs it: nothing is skipped.

struct ToolRun {
    int exitCode = -1; // -1: did not start or run to its end
    QString output;    // standard output and error
};
ToolRun runTool(const QString& program, const QStringList& arguments);

// "" when `qpdf --check` finds the file sound with no warning; else what it said.
std::string qpdfCheckProblems(const QString& path);

// A row of `pdfimages -list`.
struct ListedImage {
    int page = 0;
    QString type; // image, smask, ...
    int width = 0;
    int height = 0;
    QString colour; // gray, rgb, cmyk, index, ...
    int bitsPerComponent = 0;
    QString encoding; // ccitt, jpeg, image, ...
};
std::vector<ListedImage> listImages(const QString& path);

// The size of every page as `pdfinfo` states it, in points.
struct PageSizePoints {
    double width = 0;
    double height = 0;
};
std::vector<PageSizePoints> pageSizes(const QString& path);

// Page `page` (from 1) rendered by pdftoppm at the given resolution, each
// pixel as drawn without smoothing; a null image when that fails.
QImage renderPage(const QString& path, int page, double xDpi, double yDpi);

// The first pixel where the RGB888 images differ by more than `tolerance`
// in any channel, as text; "" when none does.
std::string renderDifference(const QImage& got, const QImage& want, int tolerance = 0);
