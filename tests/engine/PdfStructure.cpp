#include "PdfStructure.h"

#include <QFile>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <exception>

namespace {

std::string textOf(QPDFObjectHandle object) {
    return object.isNull() ? std::string() : object.unparse();
}

QByteArray bytesOf(const std::shared_ptr<Buffer>& buffer) {
    return QByteArray(reinterpret_cast<const char*>(buffer->getBuffer()),
                      static_cast<qsizetype>(buffer->getSize()));
}

void describeSpace(QPDFObjectHandle space, PdfImageFacts& facts) {
    if (space.isName()) {
        facts.colourSpace = space.getName();
        return;
    }
    if (!space.isArray() || space.getArrayNItems() < 2) {
        return;
    }
    facts.colourSpace = space.getArrayItem(0).getName();
    QPDFObjectHandle base = space.getArrayItem(1);
    if (facts.colourSpace == "/Indexed" && base.isArray()) {
        base = base.getArrayItem(1);
    }
    if (base.isStream()) {
        facts.iccProfile = bytesOf(base.getStreamData(qpdf_dl_generalized));
    }
}

PdfImageFacts factsOf(int page, QPDFObjectHandle image) {
    PdfImageFacts facts;
    facts.page = page;
    QPDFObjectHandle dict = image.getDict();
    facts.filter = textOf(dict.getKey("/Filter"));
    facts.parameters = textOf(dict.getKey("/DecodeParms"));
    facts.decode = textOf(dict.getKey("/Decode"));
    facts.hasSoftMask = dict.hasKey("/SMask");
    describeSpace(dict.getKey("/ColorSpace"), facts);
    if (facts.filter != "/DCTDecode" && facts.filter != "/CCITTFaxDecode") {
        facts.samples = bytesOf(image.getStreamData(qpdf_dl_generalized));
    }
    return facts;
}

QString stringOf(QPDFObjectHandle info, const char* key) {
    QPDFObjectHandle value = info.isDictionary() ? info.getKey(key) : QPDFObjectHandle::newNull();
    return value.isString() ? QString::fromStdString(value.getUTF8Value()) : QString();
}

} // namespace

std::vector<PdfImageFacts> pdfImageFacts(const QString& path) {
    std::vector<PdfImageFacts> all;
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(QFile::encodeName(path).constData());
        int number = 0;
        for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(pdf).getAllPages()) {
            ++number;
            QPDFObjectHandle images =
                page.getObjectHandle().getKey("/Resources").getKey("/XObject");
            for (const std::string& key : images.getKeys()) {
                all.push_back(factsOf(number, images.getKey(key)));
            }
        }
    } catch (const std::exception&) {
        all.clear();
    }
    return all;
}

PdfDocumentFacts pdfDocumentFacts(const QString& path) {
    PdfDocumentFacts facts;
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(QFile::encodeName(path).constData());
        QPDFObjectHandle info = pdf.getTrailer().getKey("/Info");
        facts.title = stringOf(info, "/Title");
        facts.producer = stringOf(info, "/Producer");
        facts.creationDate = stringOf(info, "/CreationDate");
        facts.pages = static_cast<int>(QPDFPageDocumentHelper(pdf).getAllPages().size());
    } catch (const std::exception&) {
        facts.pages = -1;
    }
    return facts;
}
