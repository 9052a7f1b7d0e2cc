// Renders the user guide from Markdown into a PDF with Qt's own writer, so the
// guide needs nothing beyond Qt to build:
//   pictavo-make-guide GUIDE.md OUTPUT.pdf TITLE [--subtitle TEXT] [--icon SVG]
#include <QAbstractTextDocumentLayout>
#include <QColor>
#include <QCommandLineParser>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgRenderer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <cstdio>

namespace {

const QString kFontFamily = QStringLiteral("DejaVu Sans");
const QString kMonoFamily = QStringLiteral("DejaVu Sans Mono");
const QColor kHeadingColor(0x1f, 0x3a, 0x5f);
const QColor kRuleColor(0xb8, 0xc2, 0xcc);
const QColor kCodeBackground(0xf2, 0xf4, 0xf6);
constexpr int kResolution = 300; // dpi; text stays vector, this only sets the layout unit
constexpr qreal kBodyPoints = 10.0;
constexpr qreal kFooterMm = 10.0;

qreal pointsToDevice(qreal points) {
    return points * kResolution / 72.0;
}

void fail(const QString& message) {
    std::fprintf(stderr, "pictavo-make-guide: %s\n", qPrintable(message));
}

void styleHeadings(QTextDocument& doc) {
    // Markdown gives only relative heading sizes; a printed guide wants fixed
    // ones, and each top-level section on a page of its own.
    bool firstTopLevel = true;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const int level = block.blockFormat().headingLevel();
        if (level == 0) {
            continue;
        }
        QTextCursor cursor(block);
        QTextBlockFormat blockFormat = block.blockFormat();
        blockFormat.setTopMargin(pointsToDevice(level == 1 ? 0 : 8));
        blockFormat.setBottomMargin(pointsToDevice(6));
        if (level == 1) {
            if (!firstTopLevel) {
                blockFormat.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            }
            firstTopLevel = false;
        }
        cursor.setBlockFormat(blockFormat);

        cursor.select(QTextCursor::BlockUnderCursor);
        QTextCharFormat charFormat;
        charFormat.setFontFamilies({kFontFamily});
        charFormat.setFontPointSize(level == 1 ? 22 : level == 2 ? 15 : 12);
        charFormat.setFontWeight(QFont::Bold);
        charFormat.setForeground(kHeadingColor);
        charFormat.clearProperty(QTextFormat::FontSizeAdjustment);
        cursor.mergeCharFormat(charFormat);
    }
}

bool isCode(const QTextBlock& block) {
    return block.isValid() && block.blockFormat().hasProperty(QTextFormat::BlockCodeFence);
}

void styleCodeBlocks(QTextDocument& doc) {
    // Each line of a fence is a block of its own; space goes around the fence.
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (!isCode(block)) {
            continue;
        }
        QTextCursor cursor(block);
        QTextBlockFormat format = block.blockFormat();
        format.setBackground(kCodeBackground);
        format.setLeftMargin(pointsToDevice(6));
        format.setTopMargin(isCode(block.previous()) ? 0 : pointsToDevice(4));
        format.setBottomMargin(isCode(block.next()) ? 0 : pointsToDevice(8));
        cursor.setBlockFormat(format);
        cursor.select(QTextCursor::BlockUnderCursor);
        QTextCharFormat mono;
        mono.setFontFamilies({kMonoFamily});
        mono.setFontPointSize(kBodyPoints - 1.5);
        cursor.mergeCharFormat(mono);
    }
}

void styleTables(QTextFrame* frame) {
    for (QTextFrame* child : frame->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(child)) {
            QTextTableFormat format = table->format();
            format.setBorder(pointsToDevice(0.5));
            format.setBorderBrush(kRuleColor);
            format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
            format.setBorderCollapse(true);
            format.setCellPadding(pointsToDevice(2));
            format.setCellSpacing(0);
            format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
            format.setHeaderRowCount(1);
            format.setTopMargin(pointsToDevice(4));
            format.setBottomMargin(pointsToDevice(8));
            table->setFormat(format);
        }
        styleTables(child);
    }
}

void drawTitlePage(QPainter& painter, const QRectF& area, const QString& title,
                   const QString& subtitle, const QString& iconPath) {
    qreal y = area.top() + area.height() * 0.22;
    if (!iconPath.isEmpty()) {
        QSvgRenderer icon(iconPath);
        if (icon.isValid()) {
            const qreal side = pointsToDevice(110);
            icon.render(&painter, QRectF(area.center().x() - side / 2, y, side, side));
            y += side + pointsToDevice(30);
        }
    }
    QFont titleFont(kFontFamily);
    titleFont.setPointSizeF(36);
    titleFont.setBold(true);
    painter.setFont(titleFont);
    painter.setPen(kHeadingColor);
    const qreal titleHeight = pointsToDevice(50);
    painter.drawText(QRectF(area.left(), y, area.width(), titleHeight), Qt::AlignCenter, title);
    y += titleHeight + pointsToDevice(10);
    if (!subtitle.isEmpty()) {
        QFont subtitleFont(kFontFamily);
        subtitleFont.setPointSizeF(16);
        painter.setFont(subtitleFont);
        painter.setPen(Qt::darkGray);
        painter.drawText(QRectF(area.left(), y, area.width(), pointsToDevice(60)),
                         Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, subtitle);
    }
}

void drawFooter(QPainter& painter, const QRectF& area, int pageNumber, const QString& title) {
    QFont footerFont(kFontFamily);
    footerFont.setPointSizeF(8);
    painter.setFont(footerFont);
    painter.setPen(Qt::gray);
    const qreal height = pointsToDevice(12);
    const QRectF line(area.left(), area.bottom() - height, area.width(), height);
    painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, title);
    painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter, QString::number(pageNumber));
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("guide"), QStringLiteral("Markdown source"));
    parser.addPositionalArgument(QStringLiteral("output"), QStringLiteral("PDF to write"));
    parser.addPositionalArgument(QStringLiteral("title"), QStringLiteral("title of the guide"));
    const QCommandLineOption subtitleOption(
        QStringLiteral("subtitle"), QStringLiteral("line under the title"), QStringLiteral("text"));
    const QCommandLineOption iconOption(QStringLiteral("icon"),
                                        QStringLiteral("SVG shown on the title page"),
                                        QStringLiteral("file"));
    parser.addOption(subtitleOption);
    parser.addOption(iconOption);
    parser.addHelpOption();
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    if (args.size() != 3) {
        parser.showHelp(2);
    }
    const QString& title = args.at(2);

    QFile source(args.at(0));
    if (!source.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("cannot read %1: %2").arg(args.at(0), source.errorString()));
        return 1;
    }

    // Written to the side and renamed only when complete, so a failed run
    // never leaves a guide the build would take as up to date.
    QSaveFile output(args.at(1));
    if (!output.open(QIODevice::WriteOnly)) {
        fail(QStringLiteral("cannot write %1: %2").arg(args.at(1), output.errorString()));
        return 1;
    }
    QPdfWriter writer(&output);
    writer.setResolution(kResolution);
    writer.setTitle(title);
    writer.setCreator(title);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(22, 20, 22, 18), QPageLayout::Millimeter));

    const QRectF page = writer.pageLayout().paintRectPixels(kResolution);
    const qreal footerHeight = kFooterMm / 25.4 * kResolution;
    const QSizeF body(page.width(), page.height() - footerHeight);

    QTextDocument doc;
    QFont bodyFont(kFontFamily);
    bodyFont.setPointSizeF(kBodyPoints);
    doc.setDefaultFont(bodyFont);
    doc.setDocumentMargin(0);
    doc.setMarkdown(QString::fromUtf8(source.readAll()), QTextDocument::MarkdownDialectGitHub);
    // Points become device units of the PDF, as they will be drawn.
    doc.documentLayout()->setPaintDevice(&writer);
    styleHeadings(doc);
    styleCodeBlocks(doc);
    styleTables(doc.rootFrame());
    doc.setPageSize(body);

    QPainter painter;
    if (!painter.begin(&writer)) {
        fail(QStringLiteral("cannot start the PDF"));
        return 1;
    }
    const QRectF whole(0, 0, page.width(), page.height());
    drawTitlePage(painter, whole, title, parser.value(subtitleOption), parser.value(iconOption));
    const int pages = doc.pageCount();
    for (int i = 0; i < pages; ++i) {
        writer.newPage();
        painter.save();
        painter.translate(0, -i * body.height());
        doc.drawContents(&painter, QRectF(0, i * body.height(), body.width(), body.height()));
        painter.restore();
        drawFooter(painter, whole, i + 2, title);
    }
    painter.end();
    if (!output.commit()) {
        fail(QStringLiteral("cannot write %1: %2").arg(args.at(1), output.errorString()));
        return 1;
    }
    return 0;
}
