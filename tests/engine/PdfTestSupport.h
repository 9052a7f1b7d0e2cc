#pragma once

#include "engine/PageSource.h"
#include "engine/PageTask.h"
#include "support/TestTiff.h"

#include <QImage>
#include <QString>

#include <memory>
#include <vector>

// Takes what a gathering task reports; stops it once `stopAfter` pages were
// reported (never when negative).
class CollectingChannel final : public TaskChannel {
public:
    explicit CollectingChannel(int stopAfter = -1) : m_stopAfter(stopAfter) {}
    void publish(PageResult page) override { pages.push_back(std::move(page)); }
    bool mayContinue() override {
        return m_stopAfter < 0 || static_cast<int>(pages.size()) < m_stopAfter;
    }

    std::vector<PageResult> pages;

private:
    int m_stopAfter;
};

// A TIFF of `pages` gathered into "source.pdf" in a fresh folder.
struct GatheredPdf {
    QString folder;
    QString tiffPath;
    QString pdfPath;
    std::unique_ptr<PageSource> source;
    TaskEnding ending;
    std::vector<PageResult> pages;
};
GatheredPdf gatherTestPages(const std::vector<TestTiffPage>& pages, int stopAfter = -1);
// The same for a TIFF already written.
GatheredPdf gatherTiffFile(const QString& tiffPath, int stopAfter = -1);

// Page `index` of the source as the project decodes it, upright, shown over
// white as RGB888: what a rendering of the PDF page must show.
QImage decodedOverWhite(PageSource& source, int index);
// The resolution the decoded page states, in dots per inch (72 when none).
struct Dpi {
    double x = 72;
    double y = 72;
};
Dpi decodedDpi(PageSource& source, int index);
