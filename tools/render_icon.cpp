// Renders the scalable application icon into the fixed sizes the icon theme
// also wants:  pictavo-render-icon ICON.svg SIZE OUTPUT.png [SIZE OUTPUT.png]...
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() < 3 || args.size() % 2 == 0) {
        std::fprintf(stderr, "usage: pictavo-render-icon ICON.svg SIZE OUTPUT.png...\n");
        return 2;
    }
    QSvgRenderer renderer(args.at(0));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "pictavo-render-icon: cannot read %s\n", qPrintable(args.at(0)));
        return 1;
    }
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        bool ok = false;
        const int size = args.at(i).toInt(&ok);
        if (!ok || size <= 0) {
            std::fprintf(stderr, "pictavo-render-icon: bad size %s\n", qPrintable(args.at(i)));
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            renderer.render(&painter);
        }
        // Renamed into place only when whole, so the build never sees half a file.
        QSaveFile file(args.at(i + 1));
        if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
            std::fprintf(stderr, "pictavo-render-icon: cannot write %s\n",
                         qPrintable(args.at(i + 1)));
            return 1;
        }
    }
    return 0;
}
