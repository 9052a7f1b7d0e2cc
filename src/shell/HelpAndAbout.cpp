// Help and about: the menus named for the edition, the guide, the site and the About sheet.
#include "shell/HelpAndAbout.h"

#include "platform/Constants.h"
#include "platform/Edition.h"
#include "platform/SystemLog.h"
#include "platform/Workspace.h"
#include "shell/PictavoAppDelegate.h"
#include "shell/ReportingWorkspace.h"
#include "shell/UsageAndReview.h"
#include "shell/UsagesReportingWindowController.h"
#include "widgets/SheetDialog.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QUrlQuery>
#include <QVBoxLayout>

#include <stdexcept>

namespace {

const QString kBaseName = QStringLiteral("Pictavo");

enum class Match { Prefix, Suffix };

void renameItems(QMenu* menu, Match match, const QString& displayName) {
    if (menu == nullptr) {
        return;
    }
    for (QAction* action : menu->actions()) {
        const QString title = action->text();
        const bool matches =
            match == Match::Prefix ? title.startsWith(kBaseName) : title.endsWith(kBaseName);
        if (matches) {
            action->setText(QString(title).replace(kBaseName, displayName));
        }
    }
}

} // namespace

HelpAndAbout::HelpAndAbout(PictavoAppDelegate& app) : m_app(app), m_ctx(app.context()) {}

void HelpAndAbout::setupVersion() {
    QMenuBar* bar = m_ctx.window->menuBar();
    QList<QMenu*> menus;
    for (QAction* top : bar->actions()) {
        if (QMenu* menu = top->menu()) {
            menus.append(menu);
        }
    }
    if (menus.isEmpty()) {
        return;
    }
    const QString displayName = StringUtilities::getAppTitle(m_ctx.edition);
    renameItems(menus.first(), Match::Suffix, displayName);
    for (QMenu* menu : menus) {
        if (menu->title().remove(QLatin1Char('&')) == QStringLiteral("Window")) {
            renameItems(menu, Match::Prefix, displayName);
            break;
        }
    }
    renameItems(menus.last(), Match::Prefix, displayName);
}

void HelpAndAbout::helpAction() {
    logFailures(QStringLiteral("[helpAction:]"), [&] {
        const Edition& edition = m_ctx.edition;
        const QString path =
            StringUtilities::pathForResource(edition.guideName, QStringLiteral("pdf"));
        if (path.isEmpty()) {
            throw std::runtime_error(
                QStringLiteral("%1.pdf is not among the application's resources")
                    .arg(edition.guideName)
                    .toStdString());
        }
        if (Workspace* workspace = m_ctx.desktop) {
            (void)workspace->openFile(path);
        }
    });
}

void HelpAndAbout::websiteAction() {
    if (Workspace* workspace = m_ctx.desktop) {
        (void)workspace->openURL(StringUtilities::siteAddress() + QStringLiteral("/pictavo/"));
    }
}

void HelpAndAbout::openLogsFolder() {
    if (Workspace* workspace = m_ctx.desktop) {
        (void)workspace->openFile(
            StringUtilities::appSubfolderPath(m_ctx.edition, QStringLiteral("Logs")));
    }
}

void HelpAndAbout::rateUs() {
    const UsagesReportingWindowController* report = m_app.usage().usagesReport();
    if (Workspace* workspace = m_ctx.desktop; workspace != nullptr && report != nullptr) {
        (void)workspace->openURL(report->store().reviewURL());
    }
}

namespace {

const QString kSupportAddress = QStringLiteral("support@quorlen.example");
constexpr int kAboutWidth = 360;

QString supportMailUrl(const QString& titleLine) {
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("subject"),
                       QStringLiteral("Support for [%1]").arg(titleLine));
    query.addQueryItem(
        QStringLiteral("body"),
        QStringLiteral(
            "Note:\rPlease explain your issues with details if necessary with screenshot of "
            "application."));
    QUrl url(QStringLiteral("mailto:") + kSupportAddress);
    url.setQuery(query);
    return url.toString(QUrl::FullyEncoded);
}

QLabel* wrappedLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent); // owned by the sheet
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignHCenter);
    return label;
}

} // namespace

QDialog* HelpAndAbout::aboutWindow() const {
    return m_aboutWindow.data();
}

void HelpAndAbout::aboutAction() {
    const Edition& edition = m_ctx.edition;
    const QString title = StringUtilities::getAppTitle(edition);
    const QString titleLine = QStringLiteral("%1 (%2)").arg(title, edition.version);

    // Esc and the close request end it as OK does; owned by the window until
    // it closes.
    SheetDialog* sheet = SheetDialog::onWindow(m_ctx.window, {});
    sheet->setDismissHandler([sheet] { sheet->accept(); });
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setObjectName(QStringLiteral("aboutWindow"));
    sheet->setMinimumWidth(kAboutWidth);
    sheet->setWindowTitle(QStringLiteral("About ") + title);
    auto* layout = new QVBoxLayout(sheet);

    auto* icon = new QLabel(sheet);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    const QIcon appIcon = QApplication::windowIcon().isNull()
                              ? sheet->style()->standardIcon(QStyle::SP_ComputerIcon)
                              : QApplication::windowIcon();
    icon->setPixmap(appIcon.pixmap(64, 64));
    icon->setAlignment(Qt::AlignHCenter);
    layout->addWidget(icon);

    QLabel* heading = wrappedLabel(titleLine, sheet);
    heading->setObjectName(QStringLiteral("aboutTitle"));
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    heading->setFont(bold);
    layout->addWidget(heading);
    QLabel* thanks = wrappedLabel(QStringLiteral("Thank you for using %1.").arg(title), sheet);
    thanks->setObjectName(QStringLiteral("aboutThanks"));
    layout->addWidget(thanks);
    QLabel* copyright = wrappedLabel(edition.copyright, sheet);
    copyright->setObjectName(QStringLiteral("aboutCopyright"));
    layout->addWidget(copyright);

    auto* support = new QLabel(sheet); // owned by the sheet
    support->setObjectName(QStringLiteral("aboutSupportLink"));
    support->setTextFormat(Qt::RichText);
    support->setAlignment(Qt::AlignHCenter);
    const QString mail = supportMailUrl(titleLine);
    support->setText(
        QStringLiteral("<a href=\"%1\">%2</a>").arg(mail.toHtmlEscaped(), kSupportAddress));
    support->setProperty("mailUrl", mail);
    connect(support, &QLabel::linkActivated, this, [this](const QString& link) {
        if (Workspace* workspace = m_ctx.desktop) {
            (void)workspace->openURL(link);
        }
    });
    layout->addWidget(support);

    auto* ok = new QPushButton(QStringLiteral("OK"), sheet); // owned by the sheet
    ok->setObjectName(QStringLiteral("aboutOKBtn"));
    ok->setDefault(true);
    ok->setToolTip(QStringLiteral("Click to continue with %1.").arg(title));
    connect(ok, &QPushButton::clicked, sheet, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    m_aboutWindow = sheet;
    sheet->open();
}
