#pragma once

#include <QByteArray>
#include <QString>

#include <string>
#include <vector>

// What the images of a written PDF are made of, read with the PDF library:
// for the checks no tool prints (filters, their parameters, Decode, profiles).
struct PdfImageFacts {
    int page = 0;            // from 1
    std::string filter;      // "/FlateDecode", ... ; "" when none
    std::string parameters;  // the DecodeParms as PDF text; "" when none
    std::string decode;      // the Decode array as PDF text; "" when none
    std::string colourSpace; // "/DeviceGray", "/ICCBased", "/Indexed", ...
    QByteArray iccProfile;   // of an ICCBased space (an Indexed one's base too)
    QByteArray samples;      // the stream decoded by its generalized filters; empty for JPEG, fax
    bool hasSoftMask = false;
};

// Every image of every page, in page order; empty when the file cannot be read.
std::vector<PdfImageFacts> pdfImageFacts(const QString& path);

// The document's /Title and /Producer ("" when absent) and its page count (-1
// when the file cannot be read).
struct PdfDocumentFacts {
    QString title;
    QString producer;
    QString creationDate;
    int pages = -1;
};
PdfDocumentFacts pdfDocumentFacts(const QString& path);
