#pragma once

#include <QByteArray>
#include <QString>

#include <ostream>
#include <string>
#include <vector>

// File names as they come on disk, each ending ".tif": spaces, quotes, shell
// characters, control characters, bytes that are not UTF-8, UTF-8 that
// looks like the path codec's escapes, and components near NAME_MAX. Every
// layer's tests walk the same table.
struct OddName {
    std::string name; // for test names
    QByteArray bytes;
    // The file name of the first JPEG page a conversion writes.
    QByteArray firstJpeg() const { return bytes.chopped(4) + "1.jpg"; }
};

const std::vector<OddName>& oddNames();

// For test failures: the bytes in hex.
inline void PrintTo(const OddName& name, std::ostream* out) {
    *out << name.name << " (" << name.bytes.toHex(' ').toStdString() << ")";
}

// Writes `content` under exactly `path`'s bytes, which Qt's file classes
// cannot do for every name here.
bool writeAtBytes(const QByteArray& path, const QByteArray& content);
bool existsAtBytes(const QByteArray& path);

// A small one-page TIFF's bytes.
QByteArray smallTiffBytes(int pages = 1);
