#include "usage/UsageStore.h"

#include "platform/AtomicFile.h"
#include "platform/Constants.h"
#include "platform/Edition.h"
#include "platform/Result.h"
#include "platform/SystemLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <limits>
#include <optional>
#include <pugixml.hpp>
#include <sstream>
#include <string>

namespace {

const QString kFileName = QStringLiteral("Usages.Log");
const QString kRoot = QStringLiteral("usagesreporting");
constexpr qint64 kInitialReviewFileCountLimit = 1000;

std::string toUtf8(const QString& text) {
    return text.toStdString();
}

// Adds the way a 32-bit counter of the file always has: wrapping, never UB.
qint32 wrappingAdd(qint32 a, qint32 b) {
    return static_cast<qint32>(static_cast<quint32>(a) + static_cast<quint32>(b));
}

// The leading decimal integer: white space skipped, optional sign, digits up
// to the first other character; saturates at the 32-bit limits; 0 without
// digits.
qint32 leadingInteger(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace()) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    constexpr qint64 kLimit = qint64(std::numeric_limits<qint32>::max()) + 1;
    qint64 value = 0;
    for (; i < text.size() && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9');
         ++i) {
        value = std::min(kLimit, value * 10 + (text.at(i).unicode() - u'0'));
    }
    if (negative) {
        return static_cast<qint32>(-value);
    }
    return static_cast<qint32>(std::min<qint64>(value, std::numeric_limits<qint32>::max()));
}

// An element's string value: every text and CDATA node below it, in order.
class TextCollector : public pugi::xml_tree_walker {
public:
    bool for_each(pugi::xml_node& node) override {
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
            m_text += node.value();
        }
        return true;
    }
    QString text() const { return QString::fromStdString(m_text); }

private:
    std::string m_text;
};

QString textOf(pugi::xml_node node) {
    TextCollector collector;
    node.traverse(collector);
    return collector.text();
}

// A stored value can appear more than once; the last one counts.
std::optional<QString> lastText(const pugi::xml_node& context, const char* path) {
    pugi::xpath_node_set nodes = context.select_nodes(path);
    if (nodes.empty()) {
        return std::nullopt;
    }
    nodes.sort();
    return textOf(nodes[nodes.size() - 1].node());
}

QString lastChildText(const pugi::xml_node& parent, const char* name) {
    pugi::xml_node last;
    for (const pugi::xml_node child : parent.children(name)) {
        last = child;
    }
    return last ? textOf(last) : QString();
}

// "--" cannot appear inside an XML comment, and a stored product name is
// free text; such a comment would hide the whole file from the next load.
std::string commentSafe(QString text) {
    while (text.contains(QStringLiteral("--"))) {
        text.replace(QStringLiteral("--"), QStringLiteral("- -"));
    }
    return toUtf8(text);
}

void appendText(pugi::xml_node& parent, const char* name, const QString& text) {
    parent.append_child(name).text().set(toUtf8(text).c_str());
}

QString booleanText(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

QByteArray documentText(const UsageStore& store) {
    pugi::xml_document doc;
    pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version").set_value("1.0");
    declaration.append_attribute("encoding").set_value("utf-8");
    doc.append_child(pugi::node_comment)
        .set_value(commentSafe(store.productName() + QLatin1Char(' ') + store.version() +
                               QStringLiteral(" Usages Reporting File"))
                       .c_str());

    pugi::xml_node root = doc.append_child(toUtf8(kRoot).c_str());
    root.append_attribute("xmlns:xsi").set_value("http://www.w3.org/2001/XMLSchema-instance");
    root.append_attribute("xmlns:xsd").set_value("http://www.w3.org/2001/XMLSchema");
    const QTimeZone& zone = store.timeZone();
    appendText(root, "productname", store.productName());
    appendText(root, "productversion", store.version());
    appendText(root, "builddate", UsageStore::dateText(store.buildDate(), zone));
    appendText(root, "hardwareUUID", store.hardwareUUID());
    appendText(root, "enabled", booleanText(store.isEnabled()));
    appendText(root, "lastreportsenton", UsageStore::dateText(store.lastReportSentOn(), zone));
    appendText(root, "lastReviewAskDate", UsageStore::dateText(store.lastReviewAskDate(), zone));
    appendText(root, "neverAskForReview", booleanText(store.neverAskForReview()));
    const auto mark = static_cast<qint32>(static_cast<quint32>(store.nextReviewTargetValue()));
    appendText(root, "nextReviewTargetValue", QString::number(mark));
    pugi::xml_node features = root.append_child("features");
    for (const FeatureUsages& feature : store.features()) {
        pugi::xml_node entry = features.append_child("featureusages");
        appendText(entry, "name", feature.name);
        appendText(entry, "usagescount", QString::number(feature.usagesCount));
        appendText(entry, "filescount", QString::number(feature.filesCount));
    }

    std::ostringstream out;
    doc.save(out, "", pugi::format_raw | pugi::format_no_empty_element_tags, pugi::encoding_utf8);
    const std::string text = out.str();
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

Status ensureFolder(const QString& folder) {
    if (folder.isEmpty() || QFileInfo(folder).isDir()) {
        return {};
    }
    if (!QDir().mkpath(folder)) {
        return Status::failure(QStringLiteral("The folder “%1” could not be created.").arg(folder));
    }
    return {};
}

Status writeAtomically(const QString& path, const QByteArray& bytes) {
    AtomicFile file(path);
    if (Status created = file.create(); !created) {
        return created;
    }
    QFile out(file.temporaryPath());
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(bytes) != bytes.size() ||
        !out.flush()) {
        return Status::failure(
            QStringLiteral("Cannot write “%1”: %2").arg(file.finalPath(), out.errorString()));
    }
    out.close();
    return file.commit();
}

QString uuidFromMachineId(const QByteArray& content) {
    const QByteArray id = content.trimmed();
    const bool hex =
        id.size() == 32 && std::all_of(id.begin(), id.end(), [](char c) {
            return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        });
    if (!hex) {
        return {};
    }
    const QString text = QString::fromLatin1(id).toUpper();
    return text.mid(0, 8) + QLatin1Char('-') + text.mid(8, 4) + QLatin1Char('-') + text.mid(12, 4) +
           QLatin1Char('-') + text.mid(16, 4) + QLatin1Char('-') + text.mid(20, 12);
}

} // namespace

// cppcheck-suppress passedByValue ; its members are moved from
UsageStore::UsageStore(QString folder, BundleInfo bundle, QString hardwareUUID)
    : m_folder(std::move(folder)), m_productName(std::move(bundle.productName)),
      m_version(std::move(bundle.version)), m_buildDate(std::move(bundle.buildDate)),
      m_hardwareUUID(std::move(hardwareUUID)),
      m_reviewURL(StringUtilities::siteAddress() + QLatin1Char('/')) {
    setReviewFileCountLimit(kInitialReviewFileCountLimit);
    m_nextReviewTargetValue = 0;
    const QDateTime now = QDateTime::currentDateTime();
    m_lastReviewAskDate = now;
    m_lastReportSentOn = now;
}

QString UsageStore::filePath() const {
    return m_folder.isEmpty() ? kFileName : QDir(m_folder).filePath(kFileName);
}

bool UsageStore::load() {
    const QString path = filePath();
    if (!QFileInfo::exists(path)) {
        return false;
    }
    bool read = false;
    logFailures(QStringLiteral("load"), [&] {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            systemLogError(QStringLiteral("load"),
                           QStringLiteral("Cannot read “%1”: %2").arg(path, file.errorString()));
            return;
        }
        const QByteArray bytes = file.readAll();
        pugi::xml_document doc;
        // A failed parse keeps the tree read up to the fault; that part counts.
        doc.load_buffer(bytes.constData(), static_cast<size_t>(bytes.size()));
        readFields(doc);
        readFeatures(doc);
        read = true;
    });
    return read;
}

void UsageStore::readFields(const pugi::xml_document& doc) {
    const auto text = [&doc](const char* element) {
        return lastText(doc, (toUtf8(kRoot) + '/' + element).c_str());
    };
    const auto readDate = [&text](const char* element, QDateTime& field) {
        if (const auto value = text(element)) {
            // Unreadable date text keeps the value there is.
            if (const QDateTime date = parseDate(*value); date.isValid()) {
                field = date;
            }
        }
    };
    const auto readFlag = [&text](const char* element, bool& field) {
        if (const auto value = text(element); value && *value == QLatin1String("true")) {
            field = true;
        }
    };
    if (const auto value = text("productname")) {
        m_productName = *value;
    }
    if (const auto value = text("productversion")) {
        m_version = *value;
    }
    readDate("builddate", m_buildDate);
    readFlag("enabled", m_isEnabled);
    readDate("lastreportsenton", m_lastReportSentOn);
    readDate("lastReviewAskDate", m_lastReviewAskDate);
    readFlag("neverAskForReview", m_neverAskForReview);
    if (const auto value = text("nextReviewTargetValue")) {
        m_nextReviewTargetValue = leadingInteger(*value);
    }
}

void UsageStore::readFeatures(const pugi::xml_document& doc) {
    const std::string path = toUtf8(kRoot) + "/features/featureusages";
    pugi::xpath_node_set entries = doc.select_nodes(path.c_str());
    entries.sort();
    for (const pugi::xpath_node& entry : entries) {
        const pugi::xml_node node = entry.node();
        m_features.push_back(FeatureUsages::initWithName(
            lastChildText(node, "name"), leadingInteger(lastChildText(node, "usagescount")),
            leadingInteger(lastChildText(node, "filescount"))));
    }
}

bool UsageStore::save() {
    bool saved = false;
    logFailures(QStringLiteral("save"), [&] {
        Status written = ensureFolder(m_folder);
        if (written) {
            written = writeAtomically(filePath(), documentText(*this));
        }
        saved = written.ok();
        if (!saved) {
            systemLogError(QStringLiteral("save"), written.error());
        }
    });
    return saved;
}

void UsageStore::updateUsages(const QString& name, qint32 files) {
    logFailures(QStringLiteral("updateUsages"), [&] {
        const auto last = std::find_if(m_features.rbegin(), m_features.rend(),
                                       [&name](const FeatureUsages& f) { return f.name == name; });
        if (last != m_features.rend()) {
            last->usagesCount = wrappingAdd(last->usagesCount, 1);
            last->filesCount = wrappingAdd(last->filesCount, files);
        } else {
            m_features.push_back(FeatureUsages::initWithName(name, 1, files));
        }
        save();
    });
}

qint64 UsageStore::totalFileCount() const {
    qint64 total = 0;
    for (const FeatureUsages& feature : m_features) {
        total += feature.filesCount;
    }
    return total;
}

bool UsageStore::isReviewDue() const {
    if (!m_isReviewEnabled || m_neverAskForReview) {
        return false;
    }
    const qint64 total = totalFileCount();
    return total > 0 && total >= m_nextReviewTargetValue;
}

void UsageStore::recordReviewAnswer(bool neverAskForReview, const QDateTime& now) {
    const qint64 total = totalFileCount();
    m_neverAskForReview = neverAskForReview;
    m_lastReviewAskDate = now;
    m_nextReviewTargetValue = total + m_reviewFileCountLimit;
    save();
}

bool UsageStore::isReportDue(const QDateTime& now) const {
    if (!m_isEnabled || !m_lastReportSentOn.isValid() || !now.isValid()) {
        return false;
    }
    // Calendar days in local time: a day with a summer-time change still
    // counts as one day.
    const QDateTime from = m_lastReportSentOn.toTimeZone(m_zone);
    const QDateTime to = now.toTimeZone(m_zone);
    qint64 days = from.date().daysTo(to.date());
    if (days > 0 && to.time() < from.time()) {
        --days;
    }
    return days >= 30;
}

void UsageStore::setReviewFileCountLimit(qint64 limit) {
    m_reviewFileCountLimit = limit;
    if (m_nextReviewTargetValue == 0) {
        m_nextReviewTargetValue = limit;
    }
}

QString UsageStore::dateText(const QDateTime& date, const QTimeZone& zone) {
    if (!date.isValid()) {
        return {};
    }
    // Whole minutes for both the wall clock and the designator, so the text
    // always names the instant itself.
    const int offsetMinutes = zone.offsetFromUtc(date) / 60;
    const QDateTime wall = date.toUTC().addSecs(qint64(offsetMinutes) * 60);
    const QDate day = wall.date();
    const QTime time = wall.time();
    QString text =
        QString::asprintf("%04d-%02d-%02dT%02d:%02d:%02d.%03d000", day.year(), day.month(),
                          day.day(), time.hour(), time.minute(), time.second(), time.msec());
    if (offsetMinutes == 0) {
        return text + QLatin1Char('Z');
    }
    // The sign belongs to the whole offset: half an hour west is "-00:30".
    const int magnitude = std::abs(offsetMinutes);
    return text + QString::asprintf("%c%02d:%02d", offsetMinutes < 0 ? '-' : '+', magnitude / 60,
                                    magnitude % 60);
}

QDateTime UsageStore::parseDate(const QString& text) {
    return QDateTime::fromString(text.trimmed(), Qt::ISODateWithMs);
}

QString machineHardwareUUID() {
    return machineHardwareUUIDFrom(
        {QStringLiteral("/etc/machine-id"), QStringLiteral("/var/lib/dbus/machine-id")});
}

QString machineHardwareUUIDFrom(const QStringList& machineIdFiles) {
    for (const QString& path : machineIdFiles) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            continue;
        }
        if (QString uuid = uuidFromMachineId(file.read(256)); !uuid.isEmpty()) {
            return uuid;
        }
    }
    return {};
}

UsageStore::BundleInfo runningBundleInfo(const Edition& edition) {
    const QString executable = QCoreApplication::applicationFilePath();
    return {edition.displayName, edition.version,
            executable.isEmpty() ? QDateTime() : QFileInfo(executable).lastModified()};
}
