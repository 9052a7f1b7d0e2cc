#include "shell/ReportingWorkspace.h"

#include "platform/NativePath.h"

#include <QUrl>
#include <QUrlQuery>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// Beyond this many paths a paragraph says how many more there are.
constexpr qsizetype kListedTargets = 10;

enum class Kind { OpenFile, OpenFolder, Reveal, Information, WebPage, Mail };

Kind kindOf(const WorkspaceFailure& failure, const QString& target) {
    switch (failure.request) {
    case WorkspaceFailure::Request::Open:
        return NativePath::isDirectory(target) ? Kind::OpenFolder : Kind::OpenFile;
    case WorkspaceFailure::Request::Reveal:
        return Kind::Reveal;
    case WorkspaceFailure::Request::Information:
        return Kind::Information;
    case WorkspaceFailure::Request::Url:
        break;
    }
    return QUrl(target).scheme() == QStringLiteral("mailto") ? Kind::Mail : Kind::WebPage;
}

QString quotedName(const QString& path) {
    return QStringLiteral("“%1”").arg(NativePath::displayName(path));
}

// The first line: what could not be done, and why.
QString headline(Kind kind, const QStringList& targets) {
    const bool one = targets.size() == 1;
    const QString count = QString::number(targets.size());
    const QString name = quotedName(targets.first());
    switch (kind) {
    case Kind::OpenFile:
        return one ? QStringLiteral("%1 could not be opened: no application on this desktop "
                                    "opens it.")
                         .arg(name)
                   : QStringLiteral("%1 files could not be opened: no application on this "
                                    "desktop opens them.")
                         .arg(count);
    case Kind::OpenFolder:
        return one ? QStringLiteral("The folder %1 could not be opened: no file manager is set "
                                    "up on this desktop.")
                         .arg(name)
                   : QStringLiteral("%1 folders could not be opened: no file manager is set up "
                                    "on this desktop.")
                         .arg(count);
    case Kind::Reveal:
        return one ? QStringLiteral("%1 could not be shown in its folder: no file manager is set "
                                    "up on this desktop.")
                         .arg(name)
                   : QStringLiteral("%1 files could not be shown in their folders: no file "
                                    "manager is set up on this desktop.")
                         .arg(count);
    case Kind::Information:
        return one ? QStringLiteral("The information on %1 could not be shown: no file manager "
                                    "is set up on this desktop.")
                         .arg(name)
                   : QStringLiteral("The information on %1 files could not be shown: no file "
                                    "manager is set up on this desktop.")
                         .arg(count);
    case Kind::WebPage:
        return QStringLiteral("The web page could not be opened: no web browser is set up on "
                              "this desktop.");
    case Kind::Mail:
        return QStringLiteral("The e-mail could not be started: no mail program is set up on "
                              "this desktop.");
    }
    return {};
}

QString whereLine(Kind kind, bool one) {
    switch (kind) {
    case Kind::OpenFolder:
        return one ? QStringLiteral("The folder is at:") : QStringLiteral("They are at:");
    case Kind::OpenFile:
    case Kind::Reveal:
    case Kind::Information:
        return one ? QStringLiteral("The file is at:") : QStringLiteral("They are at:");
    case Kind::WebPage:
        return one ? QStringLiteral("Its address is:") : QStringLiteral("Their addresses are:");
    case Kind::Mail:
        return QStringLiteral("Write to:");
    }
    return {};
}

QStringList targetLines(Kind kind, const QStringList& targets) {
    QStringList lines;
    for (const QString& target : targets.mid(0, kListedTargets)) {
        if (kind == Kind::Mail) {
            const QUrl url(target);
            lines.append(url.path(QUrl::FullyDecoded));
            const QString subject =
                QUrlQuery(url).queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded);
            if (!subject.isEmpty()) {
                lines.append(QStringLiteral("Subject: ") + subject);
            }
        } else if (kind == Kind::WebPage) {
            lines.append(target);
        } else {
            lines.append(NativePath::displayPath(target));
        }
    }
    if (targets.size() > kListedTargets) {
        lines.append(QStringLiteral("… and %1 more").arg(targets.size() - kListedTargets));
    }
    return lines;
}

} // namespace

QString cannotOpenMessage(const QList<WorkspaceFailure>& failures) {
    // One paragraph per kind of failure, in the order each first happened,
    // each target once.
    std::vector<std::pair<Kind, QStringList>> groups;
    for (const WorkspaceFailure& failure : failures) {
        for (const QString& target : failure.targets) {
            const Kind kind = kindOf(failure, target);
            auto group = std::find_if(groups.begin(), groups.end(),
                                      [kind](const auto& g) { return g.first == kind; });
            if (group == groups.end()) {
                group = groups.insert(groups.end(), {kind, {}});
            }
            if (!group->second.contains(target)) {
                group->second.append(target);
            }
        }
    }
    QStringList paragraphs;
    for (const auto& [kind, targets] : groups) {
        QStringList lines{headline(kind, targets), whereLine(kind, targets.size() == 1)};
        lines += targetLines(kind, targets);
        paragraphs.append(lines.join(QLatin1Char('\n')));
    }
    return paragraphs.join(QStringLiteral("\n\n"));
}

ReportingWorkspace::ReportingWorkspace(Workspace& desktop, Tell tell)
    : m_desktop(desktop), m_tell(std::move(tell)) {}

bool ReportingWorkspace::carryOut(WorkspaceFailure::Request request, const QStringList& targets,
                                  const std::function<bool()>& ask) {
    if (m_closed) {
        return false;
    }
    if (ask()) {
        return true;
    }
    if (!targets.isEmpty()) {
        m_pending.append({request, targets});
        if (m_batches == 0) {
            tellPending();
        }
    }
    return false;
}

void ReportingWorkspace::tellPending() {
    if (m_pending.isEmpty()) {
        return;
    }
    const QString message = cannotOpenMessage(std::exchange(m_pending, {}));
    if (m_tell && !m_closed) {
        m_tell(message);
    }
}

bool ReportingWorkspace::openFile(const QString& path) {
    return carryOut(WorkspaceFailure::Request::Open, {path},
                    [&] { return m_desktop.openFile(path); });
}

bool ReportingWorkspace::revealFiles(const QStringList& paths) {
    return carryOut(WorkspaceFailure::Request::Reveal, paths,
                    [&] { return m_desktop.revealFiles(paths); });
}

bool ReportingWorkspace::showInformation(const QStringList& paths) {
    return carryOut(WorkspaceFailure::Request::Information, paths,
                    [&] { return m_desktop.showInformation(paths); });
}

bool ReportingWorkspace::openURL(const QString& url) {
    return carryOut(WorkspaceFailure::Request::Url, {url}, [&] { return m_desktop.openURL(url); });
}

ReportingWorkspace::Batch::Batch(ReportingWorkspace& workspace) : m_workspace(workspace) {
    ++m_workspace.m_batches;
}

ReportingWorkspace::Batch::~Batch() {
    if (--m_workspace.m_batches == 0) {
        m_workspace.tellPending();
    }
}
