#include "engine/PdfDocument.h"

#include "engine/DocumentFile.h"
#include "engine/PdfPages.h"
#include "engine/PdfScratchFile.h"
#include "engine/WriterFile.h"
#include "platform/Edition.h"
#include "platform/NativePath.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <exception>
#include <optional>
#include <string>

namespace {

constexpr double kPointsPerInch = 72.0;

using Object = QPDFObjectHandle;

Object name(const char* text) {
    return Object::newName(text);
}

Object realArray(const std::vector<double>& values) {
    Object array = Object::newArray();
    for (const double v : values) {
        array.appendItem(Object::newReal(v, 6));
    }
    return array;
}

// Numbers of a content stream: enough digits for a raster of a million rows.
std::string number(double value) {
    std::string text = QByteArray::number(value, 'f', 9).toStdString();
    text.erase(text.find_last_not_of('0') + 1);
    if (!text.empty() && text.back() == '.') {
        text.pop_back();
    }
    return text == "-0" ? "0" : text;
}

std::string matrix(const std::vector<double>& m) {
    std::string text;
    for (const double v : m) {
        text += number(v) + ' ';
    }
    return text + "cm";
}

int componentsOf(PdfColour colour) {
    switch (colour) {
    case PdfColour::Gray:
        return 1;
    case PdfColour::Cmyk:
        return 4;
    case PdfColour::Rgb:
    case PdfColour::Indexed:
        return 3;
    }
    return 1;
}

const char* deviceSpace(int components) {
    return components == 1 ? "/DeviceGray" : components == 4 ? "/DeviceCMYK" : "/DeviceRGB";
}

// The colour space an ICC profile names in its header; 0 when it is none of ours.
int profileComponents(const QByteArray& profile) {
    if (profile.size() < 128) {
        return 0;
    }
    const QByteArray space = profile.mid(16, 4);
    if (space == "GRAY") {
        return 1;
    }
    if (space == "RGB ") {
        return 3;
    }
    return space == "CMYK" ? 4 : 0;
}

// A small stream of the document's own (content, profile), deflated here:
// the writer is told to leave every stream as it is given.
Object deflatedStream(QPDF& pdf, const std::string& data) {
    const std::vector<uint8_t> packed =
        pdfDeflate(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    Object stream = Object::newStream(&pdf);
    stream.replaceStreamData(std::string(packed.begin(), packed.end()), name("/FlateDecode"),
                             Object::newNull());
    return stream;
}

// Now, or the time SOURCE_DATE_EPOCH gives (seconds since 1970), so that
// the same pages make the same file byte for byte.
QDateTime creationTime() {
    bool valid = false;
    const qint64 epoch = qEnvironmentVariable("SOURCE_DATE_EPOCH").toLongLong(&valid);
    return valid && epoch >= 0 ? QDateTime::fromSecsSinceEpoch(epoch, Qt::UTC)
                               : QDateTime::currentDateTimeUtc();
}

QString qpdfFailure(const std::exception& e) {
    return QStringLiteral("PDF: %1").arg(QString::fromLocal8Bit(e.what()));
}

} // namespace

PdfPageSize pdfPageSize(const PdfPage& page) {
    const bool turned = page.orientation >= 5 && page.orientation <= 8;
    const double across = turned ? page.height : page.width;
    const double down = turned ? page.width : page.height;
    const double xDpi = page.xDpi > 0 ? page.xDpi : kPointsPerInch;
    const double yDpi = page.yDpi > 0 ? page.yDpi : kPointsPerInch;
    return {across / xDpi * kPointsPerInch, down / yDpi * kPointsPerInch};
}

std::vector<double> pdfOrientationMatrix(uint16_t orientation, const PdfPageSize& size) {
    const double w = size.width;
    const double h = size.height;
    switch (orientation) {
    case 2:
        return {-w, 0, 0, h, w, 0};
    case 3:
        return {-w, 0, 0, -h, w, h};
    case 4:
        return {w, 0, 0, -h, 0, h};
    case 5:
        return {0, -h, -w, 0, w, h};
    case 6:
        return {0, -h, w, 0, 0, h};
    case 7:
        return {0, h, w, 0, 0, 0};
    case 8:
        return {0, h, -w, 0, w, 0};
    default:
        return {w, 0, 0, h, 0, 0};
    }
}

struct PdfDocument::Private {
    Private(QString path, QString documentTitle)
        : document(std::move(path)), title(std::move(documentTitle)) {}

    Status fail(Status status) { return document.fail(std::move(status)); }

    Status readyForPage() {
        if (Status open = document.takesPages(); !open) {
            return open;
        }
        if (!pdf) {
            if (Status created = document.file().create(); !created) {
                return fail(std::move(created));
            }
            if (Status opened = scratch.open(QFileInfo(document.file().finalPath()).absolutePath());
                !opened) {
                return fail(std::move(opened));
            }
            pdf.emplace();
            pdf->setSuppressWarnings(true);
            pdf->emptyPDF();
        }
        return {};
    }

    Object streamOf(const std::vector<uint8_t>& data, const char* filter,
                    const std::vector<PdfParameter>& parameters);
    Object colourSpace(const PdfImageData& image);
    Object iccSpace(const QByteArray& profile, int components);
    Object imageObject(const PdfImageData& image, const PdfImageData* softMask);
    void addPageObject(const PdfPage& page);
    void setInformation();
    Status write();

    DocumentFile document;
    QString title;
    PdfScratchFile scratch;
    std::optional<QPDF> pdf;
    QHash<QByteArray, Object> profiles;
};

Object PdfDocument::Private::streamOf(const std::vector<uint8_t>& data, const char* filter,
                                      const std::vector<PdfParameter>& parameters) {
    const Result<PdfScratchFile::Extent> stored = scratch.append(data);
    if (!stored) {
        throw std::runtime_error(stored.error().toStdString());
    }
    Object parms = Object::newNull();
    if (!parameters.empty()) {
        parms = Object::newDictionary();
        for (const PdfParameter& p : parameters) {
            parms.replaceKey(p.key, p.isBoolean ? Object::newBool(p.value != 0)
                                                : Object::newInteger(p.value));
        }
    }
    Object stream = Object::newStream(&*pdf);
    const PdfScratchFile::Extent extent = *stored;
    const PdfScratchFile* source = &scratch;
    stream.replaceStreamData([source, extent](Pipeline* out) { source->pipe(extent, out); },
                             filter == nullptr ? Object::newNull() : name(filter), parms);
    return stream;
}

Object PdfDocument::Private::iccSpace(const QByteArray& profile, int components) {
    const auto known = profiles.constFind(profile);
    if (known != profiles.constEnd()) {
        return *known;
    }
    Object stream = deflatedStream(*pdf, profile.toStdString());
    stream.getDict().replaceKey("/N", Object::newInteger(components));
    stream.getDict().replaceKey("/Alternate", name(deviceSpace(components)));
    Object space = Object::newArray();
    space.appendItem(name("/ICCBased"));
    space.appendItem(stream);
    profiles.insert(profile, space);
    return space;
}

Object PdfDocument::Private::colourSpace(const PdfImageData& image) {
    const int components = componentsOf(image.colour);
    // A profile for another number of components would make the page unreadable.
    const Object base = profileComponents(image.iccProfile) == components
                            ? iccSpace(image.iccProfile, components)
                            : name(deviceSpace(components));
    if (image.colour != PdfColour::Indexed) {
        return base;
    }
    Object indexed = Object::newArray();
    indexed.appendItem(name("/Indexed"));
    indexed.appendItem(base);
    indexed.appendItem(Object::newInteger(static_cast<long long>(image.palette.size() / 3) - 1));
    indexed.appendItem(Object::newString(std::string(image.palette.begin(), image.palette.end())));
    return indexed;
}

Object PdfDocument::Private::imageObject(const PdfImageData& image, const PdfImageData* softMask) {
    Object stream = streamOf(image.data, image.filter, image.parameters);
    Object dict = stream.getDict();
    dict.replaceKey("/Type", name("/XObject"));
    dict.replaceKey("/Subtype", name("/Image"));
    dict.replaceKey("/Width", Object::newInteger(image.width));
    dict.replaceKey("/Height", Object::newInteger(image.height));
    dict.replaceKey("/BitsPerComponent", Object::newInteger(image.bitsPerComponent));
    dict.replaceKey("/ColorSpace", colourSpace(image));
    if (!image.decode.empty()) {
        dict.replaceKey("/Decode", realArray(image.decode));
    }
    if (softMask != nullptr) {
        dict.replaceKey("/SMask", imageObject(*softMask, nullptr));
    }
    return stream;
}

void PdfDocument::Private::addPageObject(const PdfPage& page) {
    const PdfPageSize size = pdfPageSize(page);
    Object images = Object::newDictionary();
    std::string content =
        "q " + matrix(pdfOrientationMatrix(page.orientation, size)) + " 0 0 1 1 re W n\n";
    const double w = page.width;
    const double h = page.height;
    for (size_t i = 0; i < page.pieces.size(); ++i) {
        const PdfPiece& piece = page.pieces[i];
        const std::string key = "/Im" + std::to_string(i);
        images.replaceKey(key, imageObject(piece.image, piece.softMask.get()));
        const double pw = piece.image.width / w;
        const double ph = piece.image.height / h;
        content += "q " +
                   matrix({pw, 0, 0, ph, piece.x / w, 1.0 - (piece.y + piece.image.height) / h}) +
                   ' ' + key + " Do Q\n";
    }
    content += "Q\n";
    Object resources = Object::newDictionary();
    resources.replaceKey("/XObject", images);
    Object pageObject = Object::newDictionary();
    pageObject.replaceKey("/Type", name("/Page"));
    pageObject.replaceKey("/MediaBox", realArray({0, 0, size.width, size.height}));
    pageObject.replaceKey("/Resources", resources);
    pageObject.replaceKey("/Contents", deflatedStream(*pdf, content));
    QPDFPageDocumentHelper(*pdf).addPage(QPDFPageObjectHelper(pdf->makeIndirectObject(pageObject)),
                                         false);
}

void PdfDocument::Private::setInformation() {
    const Edition edition = Edition::currentEdition();
    const QString producer = edition.displayName + QLatin1Char(' ') + edition.version;
    const QString created = creationTime().toString(QStringLiteral("'D:'yyyyMMddHHmmss'Z'"));
    Object info = Object::newDictionary();
    info.replaceKey("/Title", Object::newUnicodeString(title.toStdString()));
    info.replaceKey("/Producer", Object::newUnicodeString(producer.toStdString()));
    info.replaceKey("/CreationDate", Object::newString(created.toStdString()));
    pdf->getTrailer().replaceKey("/Info", pdf->makeIndirectObject(info));
}

Status PdfDocument::Private::write() {
    Result<FilePointer> out = openForWriting(document.file().temporaryPath());
    if (!out) {
        return Status::failure(out.error());
    }
    try {
        QPDFWriter writer(*pdf);
        writer.setOutputFile(document.file().finalPath().toStdString().c_str(), out->get(), false);
        // Cross-reference streams: offsets past 10 GB, which a classic table cannot hold.
        writer.setObjectStreamMode(qpdf_o_generate);
        // The sources' compressed data goes out as it came: the writer would
        // otherwise turn LZW into Flate.
        writer.setDecodeLevel(qpdf_dl_none);
        writer.setCompressStreams(false);
        // The file's identifier from its content, not from the clock.
        writer.setDeterministicID(true);
        writer.write();
    } catch (const std::exception& e) {
        return encoderFailure(out->get(), document.file().temporaryPath(), qpdfFailure(e));
    }
    return closeAfterWriting(std::move(*out), document.file().temporaryPath());
}

PdfDocument::PdfDocument(QString finalPath, QString title)
    : d(std::make_unique<Private>(std::move(finalPath), std::move(title))) {}

PdfDocument::~PdfDocument() = default;

int PdfDocument::pageCount() const {
    return d->document.pages();
}

Status PdfDocument::addPage(const PdfPage& page) {
    if (Status ready = d->readyForPage(); !ready) {
        return ready;
    }
    try {
        d->addPageObject(page);
    } catch (const std::exception& e) {
        return d->fail(Status::failure(qpdfFailure(e)));
    }
    d->document.pageAdded();
    return {};
}

Status PdfDocument::finish() {
    if (Status ready = d->document.readyToFinish(); !ready) {
        return ready;
    }
    try {
        d->setInformation();
    } catch (const std::exception& e) {
        return d->fail(Status::failure(qpdfFailure(e)));
    }
    if (Status written = d->write(); !written) {
        return d->fail(std::move(written));
    }
    if (Status committed = d->document.commit(); !committed) {
        return committed;
    }
    d->pdf.reset();
    return {};
}

bool isCompletePdfFile(const QString& path, int pages) {
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.setAttemptRecovery(false);
        pdf.processFile(NativePath::encode(path).constData());
        const size_t found = QPDFPageDocumentHelper(pdf).getAllPages().size();
        return found == static_cast<size_t>(pages) && !pdf.anyWarnings();
    } catch (const std::exception&) {
        return false;
    }
}
