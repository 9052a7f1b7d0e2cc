#include "engine/Log.h"

#include "platform/AtomicFile.h"
#include "platform/Constants.h"
#include "platform/DateFormat.h"
#include "platform/Edition.h"
#include "platform/NativePath.h"
#include "platform/SystemLog.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <pugixml.hpp>
#include <sstream>

namespace {

const QString kTimePattern = QStringLiteral("MM/dd/yyyy hh:mm:ss a");
const QString kNamePattern = QStringLiteral("ddMMyyHHmmss");
constexpr int kMaxNameAttempts = 10000;

// XML 1.0 cannot hold control characters (other than tab and line breaks) or
// lone surrogates, even escaped; a file name may contain them.
QString xmlSafe(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
        } else if ((u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') || c.isSurrogate() ||
                   u == 0xFFFE || u == 0xFFFF) {
            out += QChar(QChar::ReplacementCharacter);
        } else {
            out += c;
        }
    }
    return out;
}

void setAttribute(pugi::xml_node& node, const char* name, const QString& value) {
    node.append_attribute(name).set_value(xmlSafe(value).toUtf8().constData());
}

void setAttribute(pugi::xml_node& node, const char* name, int value) {
    node.append_attribute(name).set_value(QByteArray::number(value).constData());
}

pugi::xml_document buildDocument(const Log& log) {
    pugi::xml_document doc;
    auto declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version").set_value("1.0");
    declaration.append_attribute("encoding").set_value("UTF-8");

    pugi::xml_node root = doc.append_child("Log");
    setAttribute(root, "StartTime", formatDate(log.startTime, kTimePattern));
    setAttribute(root, "EndTime", formatDate(log.endTime, kTimePattern));
    for (const LogFiles& source : log.files) {
        pugi::xml_node files = root.append_child("Files");
        setAttribute(files, "FileName", source.filename);
        setAttribute(files, "SourcePath", source.sourcePath);
        setAttribute(files, "TargetPath", source.targetPath);
        setAttribute(files, "Status", source.status);
        setAttribute(files, "Pages", source.pages);
        for (const LogFile& page : source.logFiles) {
            pugi::xml_node file = files.append_child("File");
            setAttribute(file, "NewFileName", page.targetFile);
            setAttribute(file, "SourcePageNo", page.sourcePageNo);
            setAttribute(file, "Status", page.status);
        }
    }
    return doc;
}

} // namespace

Log::Log() : startTime(QDateTime::currentDateTime()), endTime(startTime) {}

QString Log::fileNameFor(const QDateTime& endTime, int attempt) {
    const QString stem = formatDate(endTime, kNamePattern);
    const QString suffix = attempt <= 1 ? QString() : QLatin1Char('-') + QString::number(attempt);
    return stem + suffix + QStringLiteral(".log");
}

QString statusText(PageOutcome outcome) {
    return outcome == PageOutcome::Written ? QStringLiteral("Completed")
                                           : QStringLiteral("Unable to save page!");
}

QString statusText(SourceOutcome outcome, const QString& reason) {
    switch (outcome) {
    case SourceOutcome::Converted:
        return {};
    case SourceOutcome::NotOpened:
        return QStringLiteral("Unable to Open File!");
    case SourceOutcome::Failed:
    case SourceOutcome::Incomplete:
        return reason;
    case SourceOutcome::Skipped:
        return QStringLiteral("Skipped: already converted");
    }
    return reason;
}

bool Log::anyFailure() const {
    for (const LogFiles& source : files) {
        if (source.outcome == SourceOutcome::NotOpened || source.outcome == SourceOutcome::Failed) {
            return true;
        }
        for (const LogFile& page : source.logFiles) {
            if (page.outcome == PageOutcome::NotWritten) {
                return true;
            }
        }
    }
    return false;
}

bool Log::anySourceFailed() const {
    return std::any_of(files.begin(), files.end(), [](const LogFiles& source) {
        return source.outcome == SourceOutcome::Failed;
    });
}

int Log::sourcesConverted() const {
    return static_cast<int>(std::count_if(files.begin(), files.end(), [](const LogFiles& source) {
        return source.outcome != SourceOutcome::Skipped;
    }));
}

RunVerdict verdictOf(const Log& log, bool cancelled, bool jobFailed, int filesCreated) {
    if (jobFailed || log.anySourceFailed()) {
        return RunVerdict::SomeFailed;
    }
    if (cancelled) {
        return RunVerdict::Cancelled;
    }
    const int sources = log.sourcesConverted();
    // Sources that yielded no file at all are no success, whatever the reason.
    if (sources > 0 && filesCreated == 0) {
        return RunVerdict::SomeFailed;
    }
    // One file per source and nothing lost is all; pages split into files of
    // their own are counted, not claimed as all.
    if (!log.anyFailure() && sources == filesCreated) {
        return RunVerdict::AllConverted;
    }
    return RunVerdict::SomeConverted;
}

QByteArray Log::toXml() const {
    const pugi::xml_document doc = buildDocument(*this);
    std::ostringstream out;
    doc.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
    const std::string text = out.str();
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

bool Log::save(const Edition& edition) {
    return save(StringUtilities::appSubfolderPath(edition, QStringLiteral("Logs")));
}

bool Log::save(const QString& folder) {
    m_logFilePath.clear();
    m_saveError.clear();
    try {
        const Status written = writeInto(folder);
        if (written) {
            return true;
        }
        m_saveError = written.error();
        systemLog(QStringLiteral("Could not write document out..."));
    } catch (...) {
        m_saveError = exceptionReason(std::current_exception());
        systemLogError(QStringLiteral("(Log=>save)"), m_saveError);
    }
    return false;
}

Status Log::writeInto(const QString& folder) {
    const auto pathFor = [&](int attempt) {
        const QString name = fileNameFor(endTime, attempt);
        return folder.isEmpty() ? name : QDir(folder).filePath(name);
    };
    const QByteArray xml = toXml();
    AtomicFile file(pathFor(1));
    if (Status created = file.create(); !created) {
        return created;
    }
    {
        const std::unique_ptr<QFile> out = NativePath::openForWriting(file.temporaryPath());
        if (!out || out->write(xml) != xml.size() || !out->flush()) {
            const QString why = out ? out->errorString() : errnoText(errno);
            return Status::failure(
                QStringLiteral("Cannot write “%1”: %2").arg(file.finalPath(), why));
        }
    }
    // Two jobs that end in the same second must not replace each other's log.
    for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
        const QString candidate = pathFor(attempt);
        QString error;
        switch (file.commitWithoutReplacing(candidate, &error)) {
        case AtomicFile::Outcome::Committed:
            m_logFilePath = candidate;
            return {};
        case AtomicFile::Outcome::NameTaken:
            continue;
        case AtomicFile::Outcome::Failed:
            return Status::failure(error);
        }
    }
    return Status::failure(
        QStringLiteral("Every log name for this second is taken in “%1”").arg(folder));
}
