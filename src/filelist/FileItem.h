#pragma once

#include <QDateTime>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <memory>

// One source file of the file list: its URL, whether it is checked for
// conversion, and its on-disk size and page count as they were when the item
// was made. Everything else (name, folder, extension, size text, dates) is
// derived from the URL and the file system on every call, so a table redraw
// sees the file as it is now.
//
// Threads: items are made on the file-loading worker and then handed to the
// main thread; after that only `isSelected` changes, on the main thread. The
// conversion job reads `filePath`, `pages` and `hasUnreadablePages`, which
// never change.
class FileItem {
public:
    // An item with `isSelected` true, or nullptr when `url` is not a valid
    // file URL. A file that is missing or cannot be read still makes an item
    // (size 0, pages 0).
    static std::shared_ptr<FileItem> initWithURL(const QUrl& url);

    QUrl filePath() const { return m_filePath; }
    int pages() const { return m_pages; }
    // The file goes on past pages() with pages that cannot be read, so no
    // conversion of it is ever complete.
    bool hasUnreadablePages() const { return m_hasUnreadablePages; }
    // Bytes the file occupies on disk (allocated, not its length); 0 when
    // that could not be read.
    qint64 size() const { return m_size; }
    bool isSelected() const { return m_isSelected; }
    void setIsSelected(bool selected) { m_isSelected = selected; }

    // File name with extension.
    QString name() const;
    // Containing folder, without a trailing "/" except for the root.
    QString location() const;
    // Extension exactly as written ("TIFF" stays upper case).
    QString type() const;
    QString sizeInKB() const;
    // Invalid when the file system does not say.
    QDateTime dateModified() const;
    QDateTime dateCreated() const;
    QDateTime dateAccessed() const;

    // The cell value of a table column; the key is matched without regard to
    // case. A bool for "ISSELECTED", an int for "PAGES", text otherwise ("" for
    // an unknown key).
    QVariant displayField(const QString& key) const;

    // Same object, or the URLs' string forms are exactly equal.
    bool isEqual(const FileItem* other) const;
    bool operator==(const FileItem& other) const { return isEqual(&other); }

    // Decimal units in single precision: "0 KB" up to 1,000,000 bytes, then
    // "%4.1f" in MB, GB or TB with a ".0" dropped (pad space kept).
    static QString sizeText(qint64 bytes);

    // Allocated size of a local file; 0 when it cannot be read.
    static qint64 allocatedSize(const QString& path);

private:
    // Keeps construction to the factory while still letting make_shared build
    // the item.
    struct Token {
        explicit Token() = default;
    };

public:
    explicit FileItem(Token) {}

private:
    void setFilePath(const QUrl& url);

    bool m_isSelected = true;
    QUrl m_filePath;
    int m_pages = 0;
    bool m_hasUnreadablePages = false;
    qint64 m_size = 0;
};
