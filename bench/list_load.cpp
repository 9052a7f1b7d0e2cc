// Drives the real main window through a list of many files, the way a user
// does: Add Folder, a click on each column header in both directions, Check
// All and Uncheck All, Export, and Convert of every checked file. A timer on
// the main thread fires every few milliseconds; the worst lateness it sees
// while a step runs is the longest the window could not answer.
//
//   pictavo_bench_list_load FOLDER OUTPUT_FOLDER [png|jpg|bmp|gif|tiff]
//
// Run it with a private HOME (list_load.sh does): the window's preferences
// and logs go there.
#include "engine/OutputFormats.h"
#include "engine/Settings.h"
#include "filelist/FileList.h"
#include "platform/Preferences.h"
#include "platform/Workspace.h"
#include "shell/Dialogs.h"
#include "shell/FileTableModel.h"
#include "shell/PictavoAppDelegate.h"
#include "widgets/CustomTableView.h"
#include "widgets/SegmentedControl.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHeaderView>
#include <QMainWindow>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

constexpr int kProbeIntervalMs = 5;
// Time the window gets after a step's own end to lay out and paint what
// changed; its stalls count towards the step.
constexpr int kSettleMs = 300;

// Kibibytes of a field of /proc/self/status ("VmRSS", "VmHWM").
qint64 statusKiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix)) {
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

// Starts a new peak for VmHWM.
void resetPeakRss() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly)) {
        clear.write("5");
    }
}

// How late the main thread serves a timer due every few milliseconds.
class StallProbe : public QObject {
public:
    StallProbe() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(kProbeIntervalMs);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_worstNs = std::max(m_worstNs, now - m_lastNs - qint64{kProbeIntervalMs} * 1000000);
            m_lastNs = now;
        });
        m_clock.start();
    }
    void restart() {
        m_worstNs = 0;
        m_lastNs = m_clock.nsecsElapsed();
        m_timer.start();
    }
    double worstMs() const { return static_cast<double>(m_worstNs) / 1e6; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastNs = 0;
    qint64 m_worstNs = 0;
};

struct StepResult {
    QString name;
    double seconds = 0;
    double worstStallMs = 0;
    qint64 peakRssKiB = 0;
    QString note;
};

void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

class Bench {
public:
    Bench(QString folder, QString output, int outputType)
        : m_folder(std::move(folder)), m_output(std::move(output)), m_outputType(outputType) {
        const PictavoAppDelegate::Services services{&m_preferences, &m_workspace, &m_dialogs,
                                                    Edition::currentEdition()};
        m_controller = std::make_unique<PictavoAppDelegate>(services);
        m_controller->awakeFromNib();
        m_controller->window()->resize(1440, 820);
        m_controller->window()->show();
        runFor(kSettleMs);
    }

    ~Bench() { (void)m_controller->applicationShouldTerminate(); }

    void run() {
        const qint64 before = statusKiB("VmRSS");
        addFolder();
        const qint64 after = statusKiB("VmRSS");
        const int items = m_controller->files().size();
        sortEveryColumn();
        step(QStringLiteral("uncheck all"), [this](const auto& done) {
            trigger("uncheckAllMenuItem");
            done(QStringLiteral("%1 checked").arg(m_controller->files().checkedCount()));
        });
        step(QStringLiteral("check all"), [this](const auto& done) {
            trigger("checkAllMenuItem");
            done(QStringLiteral("%1 checked").arg(m_controller->files().checkedCount()));
        });
        exportList();
        convert();
        printTable();
        std::printf("\nitems %d; resident memory %lld KiB before adding, %lld KiB after: "
                    "%.0f bytes per item\n",
                    items, before, after,
                    items > 0 ? static_cast<double>(after - before) * 1024.0 / items : 0.0);
    }

private:
    using Done = std::function<void(const QString& note)>;

    // Runs `start` from the event loop and keeps the loop going until it
    // calls its `done`, then lets the window settle.
    void step(const QString& name, const std::function<void(const Done&)>& start) {
        QEventLoop loop;
        StepResult result;
        result.name = name;
        bool finished = false;
        const Done done = [&](const QString& note) {
            result.note = note;
            finished = true;
            loop.quit();
        };
        resetPeakRss();
        QElapsedTimer clock;
        m_probe.restart();
        clock.start();
        QTimer::singleShot(0, &loop, [&] { start(done); });
        if (!finished) {
            loop.exec();
        }
        result.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        runFor(kSettleMs);
        result.worstStallMs = m_probe.worstMs();
        result.peakRssKiB = statusKiB("VmHWM");
        m_results.push_back(result);
        std::fprintf(stderr, "%-30s %8.2f s %9.1f ms  %s\n", qPrintable(result.name),
                     result.seconds, result.worstStallMs, qPrintable(result.note));
    }

    void trigger(const char* name) {
        auto* action = m_controller->window()->findChild<QAction*>(QString::fromUtf8(name));
        if (action == nullptr) {
            qFatal("no action %s", name);
        }
        action->trigger();
    }

    void addFolder() {
        step(QStringLiteral("add folder"), [this](const Done& done) {
            auto connection = std::make_shared<QMetaObject::Connection>();
            *connection = QObject::connect(m_controller.get(), &PictavoAppDelegate::loadFinished,
                                           m_controller.get(), [this, done, connection] {
                                               QObject::disconnect(*connection);
                                               done(QStringLiteral("%1 items, %2 pages")
                                                        .arg(m_controller->files().size())
                                                        .arg(m_controller->files().totalPages()));
                                           });
            m_dialogs.answerNextPanel({true, {m_folder}});
            trigger("addFolderMenuItem");
        });
    }

    // Clicks each header section once for ascending and once more for
    // descending, with every column shown so each can be clicked.
    void sortEveryColumn() {
        QHeaderView* header = table()->horizontalHeader();
        for (int section = 0; section < header->count(); ++section) {
            header->setSectionHidden(section, false);
            header->resizeSection(section, 100);
        }
        runFor(kSettleMs);
        for (int section = 0; section < header->count(); ++section) {
            const QString title = table()->model()->headerData(section, Qt::Horizontal).toString();
            for (const char* direction : {"ascending", "descending"}) {
                step(QStringLiteral("sort %1 %2")
                         .arg(title.isEmpty() ? QStringLiteral("check") : title,
                              QString::fromLatin1(direction)),
                     [this, header, section](const Done& done) {
                         // Done when the rows have their new order, which a
                         // long list gets from a worker.
                         auto* model = qobject_cast<FileTableModel*>(table()->model());
                         auto connection = std::make_shared<QMetaObject::Connection>();
                         *connection = QObject::connect(
                             model, &FileTableModel::sorted, model, [header, done, connection] {
                                 QObject::disconnect(*connection);
                                 done(QStringLiteral("indicator %1 %2")
                                          .arg(header->sortIndicatorSection())
                                          .arg(header->sortIndicatorOrder() == Qt::AscendingOrder
                                                   ? QStringLiteral("up")
                                                   : QStringLiteral("down")));
                             });
                         const int x = header->sectionViewportPosition(section) +
                                       header->sectionSize(section) / 2;
                         QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                                           QPoint(x, header->height() / 2));
                     });
            }
        }
    }

    void exportList() {
        const QString path = QDir(m_output).filePath(QStringLiteral("list.txt"));
        step(QStringLiteral("export"), [this, path](const Done& done) {
            m_dialogs.answerNextPanel({true, {path}});
            m_controller->exportAction();
            // The export ends when its file is in place.
            auto* poll = new QTimer(m_controller.get());
            QObject::connect(poll, &QTimer::timeout, poll, [poll, path, done] {
                if (QFile::exists(path)) {
                    poll->deleteLater();
                    done(QStringLiteral("%1 bytes").arg(QFile(path).size()));
                }
            });
            poll->start(kProbeIntervalMs);
        });
    }

    void convert() {
        const QString folder = QDir(m_output).filePath(QStringLiteral("converted"));
        QDir().mkpath(folder);
        Settings& settings = m_controller->settings();
        settings.setOutputType(m_outputType);
        settings.setOutputFolderPath(folder);
        settings.setIsOpenFolderAfterConversion(false);
        step(QStringLiteral("convert"), [this](const Done& done) {
            auto connection = std::make_shared<QMetaObject::Connection>();
            *connection =
                QObject::connect(m_controller.get(), &PictavoAppDelegate::conversionFinished,
                                 m_controller.get(), [this, done, connection] {
                                     QObject::disconnect(*connection);
                                     const Process* job = m_controller->process();
                                     done(QStringLiteral("%1 files, %2 pages")
                                              .arg(job->totalFileProcessed())
                                              .arg(job->totalPagesProcessed()));
                                 });
            auto* segments = m_controller->window()->findChild<SegmentedControl*>(
                QStringLiteral("commandSegmented"));
            segments->click(1);
        });
        step(QStringLiteral("close progress"), [this](const Done& done) {
            m_controller->closeProcessAction();
            done({});
        });
    }

    CustomTableView* table() const {
        return m_controller->window()->findChild<CustomTableView*>(QStringLiteral("mainTableView"));
    }

    void printTable() const {
        std::printf("%-30s %10s %14s %14s  %s\n", "step", "wall_s", "worst_stall_ms",
                    "peak_rss_MiB", "result");
        for (const StepResult& r : m_results) {
            std::printf("%-30s %10.2f %14.1f %14.1f  %s\n", qPrintable(r.name), r.seconds,
                        r.worstStallMs, static_cast<double>(r.peakRssKiB) / 1024.0,
                        qPrintable(r.note));
        }
    }

    QString m_folder;
    QString m_output;
    int m_outputType;
    SettingsPreferences m_preferences{
        QDir::home().filePath(QStringLiteral(".config/Quorlen/Pictavo2.conf"))};
    RecordingWorkspace m_workspace;
    ScriptedDialogs m_dialogs;
    std::unique_ptr<PictavoAppDelegate> m_controller;
    StallProbe m_probe;
    std::vector<StepResult> m_results;
};

int outputTypeOf(const QString& name) {
    if (name == QLatin1String("jpg")) {
        return OutputJpeg;
    }
    if (name == QLatin1String("bmp")) {
        return OutputBmp;
    }
    if (name == QLatin1String("gif")) {
        return OutputGif;
    }
    if (name == QLatin1String("tiff")) {
        return OutputTiff;
    }
    return OutputPng;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: pictavo_bench_list_load FOLDER OUTPUT_FOLDER [TYPE]\n");
        return 2;
    }
    Bench bench(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]),
                outputTypeOf(argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString()));
    bench.run();
    return 0;
}
