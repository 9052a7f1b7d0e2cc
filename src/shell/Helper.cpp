// Menu set-up of the main controller.
#include "platform/Constants.h"
#include "platform/Edition.h"
#include "platform/SystemLog.h"
#include "platform/Workspace.h"
#include "shell/PictavoAppDelegate.h"
#include "ui_MainWindow.h"
#include "widgets/CustomTableView.h"
#include "widgets/SegmentedControl.h"
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

void PictavoAppDelegate::setupVersion() {
    QMenuBar* bar = m_window->menuBar();
    QList<QMenu*> menus;
    for (QAction* top : bar->actions()) {
        if (QMenu* menu = top->menu()) {
            menus.append(menu);
        }
    }
    if (menus.isEmpty()) {
        return;
    }
    const QString displayName = StringUtilities::getAppTitle(edition());
    renameItems(menus.first(), Match::Suffix, displayName);
    for (QMenu* menu : menus) {
        if (menu->title().remove(QLatin1Char('&')) == QStringLiteral("Window")) {
            renameItems(menu, Match::Prefix, displayName);
            break;
        }
    }
    renameItems(menus.last(), Match::Prefix, displayName);
}

void PictavoAppDelegate::setupToolbarAndMenuItems() {
    connect(m_parts.aboutMenuItem, &QAction::triggered, this, &PictavoAppDelegate::aboutAction);
    bindMenuCommands();
}

void PictavoAppDelegate::bindMenuCommands() {
    const auto segment = [this](Command command) {
        return [this, command] { return isCommandEnabled(command); };
    };
    const auto always = [] { return true; };
    m_menuCommands = {
        {m_parts.addFilesMenuItem, segment(Command::AddFiles), [this] { addFiles(); }},
        {m_parts.addFolderMenuItem, segment(Command::AddFiles), [this] { addFolder(); }},
        {m_parts.includeSubfoldersMenuItem, segment(Command::IncludeSubfolders),
         [this] { toggleIncludeSubfolders(); }},
        {m_parts.importMenuItem, segment(Command::Import), [this] { importAction(); }},
        {m_parts.exportMenuItem, segment(Command::Export), [this] { exportAction(); }},
        {m_parts.openLogsFolderMenuItem, segment(Command::Logs), [this] { openLogsFolder(); }},
        {m_parts.outputSettingsMenuItem, segment(Command::Settings),
         [this] { showOutputSettings(); }},
        {m_parts.convertMenuItem, [this] { return isConvertEnabled() && !isLoading(); },
         [this] { convertAction(); }},
        {m_parts.selectAllMenuItem,
         [this] { return m_parts.mainTableView->isEnabled() && m_files->size() > 0; },
         [this] { selectDeselectRemoveAll(SelectAllRows); }},
        {m_parts.removeMenuItem,
         [this] { return isCommandEnabled(Command::Remove) && !selectedRows().empty(); },
         [this] { removeAction(); }},
        {m_parts.removeAllMenuItem, segment(Command::RemoveAll),
         [this] { selectDeselectRemoveAll(RemoveAllFiles); }},
        {m_parts.cancelLoadMenuItem, [this] { return isLoading(); }, [this] { cancelAction(); }},
        {m_parts.helpMenuItem, always, [this] { helpAction(); }},
        {m_parts.websiteMenuItem, always, [this] { websiteAction(); }},
        {m_parts.rateMenuItem, always, [this] { rateUs(); }},
    };
    // A shortcut runs a command only when its segment would; an open menu
    // shows which ones can run. Closed menus keep their items enabled, so a
    // shortcut is never left disabled by an old state.
    for (const MenuCommand& entry : m_menuCommands) {
        connect(entry.item, &QAction::triggered, this, [canRun = entry.canRun, run = entry.run] {
            if (canRun()) {
                run();
            }
        });
    }
    for (QAction* top : m_window->menuBar()->actions()) {
        QMenu* menu = top->menu();
        if (menu == nullptr) {
            continue;
        }
        connect(menu, &QMenu::aboutToShow, this, [this] {
            for (const MenuCommand& entry : m_menuCommands) {
                entry.item->setEnabled(entry.canRun());
            }
        });
        connect(menu, &QMenu::aboutToHide, this, [this] {
            for (const MenuCommand& entry : m_menuCommands) {
                entry.item->setEnabled(true);
            }
        });
    }
}

void PictavoAppDelegate::helpAction() {
    try {
        const Edition& edition = this->edition();
        const QString path =
            StringUtilities::pathForResource(edition.guideName, QStringLiteral("pdf"));
        if (path.isEmpty()) {
            throw std::runtime_error(
                QStringLiteral("%1.pdf is not among the application's resources")
                    .arg(edition.guideName)
                    .toStdString());
        }
        if (Workspace* workspace = desktop()) {
            (void)workspace->openFile(path);
        }
    } catch (const std::exception& e) {
        systemLogError(QStringLiteral("[helpAction:]"), QString::fromStdString(e.what()));
    }
}

void PictavoAppDelegate::websiteAction() {
    if (Workspace* workspace = desktop()) {
        (void)workspace->openURL(StringUtilities::siteAddress() + QStringLiteral("/pictavo/"));
    }
}

void PictavoAppDelegate::rateUs() {
    if (Workspace* workspace = desktop(); workspace != nullptr && m_usagesReport != nullptr) {
        (void)workspace->openURL(m_usagesReport->store().reviewURL());
    }
}

void PictavoAppDelegate::openAppAction() {
    // Out of the dock, but a maximized window stays maximized.
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
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

QDialog* PictavoAppDelegate::aboutWindow() const {
    return m_aboutWindow.data();
}

void PictavoAppDelegate::aboutAction() {
    const Edition& edition = this->edition();
    const QString title = StringUtilities::getAppTitle(edition);
    const QString titleLine = QStringLiteral("%1 (%2)").arg(title, edition.version);

    // Esc and the close request end it as OK does; owned by the window until
    // it closes.
    SheetDialog* sheet = SheetDialog::onWindow(m_window.get(), {});
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
        if (Workspace* workspace = desktop()) {
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
