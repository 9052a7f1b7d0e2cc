#pragma once

#include "engine/OutputFormats.h"

#include <QDataStream>
#include <QObject>
#include <QString>
#include <QVariant>

class Preferences;

// What one run reads of the options, copied once on the main thread so that
// a job never races with the settings sheet and names the pages it claimed
// with the values it writes them with.
struct ConversionOptions {
    int outputType = OutputJpeg;
    int jpegQuality = 10;
    int tiffCompressionIndex = 0;
    bool isSplitTIFFIntoSinglePages = false;
    QString separator;
    int leadingZeros = 0;
    bool isOpenFolderAfterConversion = false;
    QString outputFolderPath;
};

// The conversion options: output format and its options, how page files are
// named, the default output folder and three behaviour flags. Stored in the
// preferences under "SETTINGS" as a dictionary of ten keys (nine without the
// page-number digits).
//
// Threads: created, changed and read on the main thread only; a job works
// from a snapshot().
class Settings : public QObject {
    Q_OBJECT
    Q_PROPERTY(int outputType READ outputType WRITE setOutputType NOTIFY outputTypeChanged)
    Q_PROPERTY(bool isSetCurrentAsDefaultOutputFolderPath READ isSetCurrentAsDefaultOutputFolderPath
                   WRITE setIsSetCurrentAsDefaultOutputFolderPath NOTIFY
                       isSetCurrentAsDefaultOutputFolderPathChanged)
    Q_PROPERTY(bool isOpenFolderAfterConversion READ isOpenFolderAfterConversion WRITE
                   setIsOpenFolderAfterConversion NOTIFY isOpenFolderAfterConversionChanged)
    Q_PROPERTY(QString outputFolderPath READ outputFolderPath WRITE setOutputFolderPath NOTIFY
                   outputFolderPathChanged)
    Q_PROPERTY(QString separator READ separator WRITE setSeparator NOTIFY separatorChanged)
    Q_PROPERTY(int jpegQuality READ jpegQuality WRITE setJpegQuality NOTIFY jpegQualityChanged)
    Q_PROPERTY(int tiffCompressionIndex READ tiffCompressionIndex WRITE setTiffCompressionIndex
                   NOTIFY tiffCompressionIndexChanged)
    Q_PROPERTY(bool isSplitTIFFIntoSinglePages READ isSplitTIFFIntoSinglePages WRITE
                   setIsSplitTIFFIntoSinglePages NOTIFY isSplitTIFFIntoSinglePagesChanged)
    Q_PROPERTY(bool isClearProcessedFiles READ isClearProcessedFiles WRITE setIsClearProcessedFiles
                   NOTIFY isClearProcessedFilesChanged)
    Q_PROPERTY(int leadingZeros READ leadingZeros WRITE setLeadingZeros NOTIFY leadingZerosChanged)

public:
    // Defaults only; nothing is read or written.
    explicit Settings(QObject* parent = nullptr);
    // Defaults, then whatever `store` holds under "SETTINGS". The store is
    // kept (not owned) for synchronize().
    explicit Settings(Preferences* store, QObject* parent = nullptr);
    // The same for an edition whose settings may lack the page-number digits:
    // without them "leadingZeros" is neither read nor written, and page
    // numbers stay unpadded.
    Settings(Preferences* store, bool hasLeadingZeros, QObject* parent = nullptr);
    ~Settings() override;

    static const QString kPreferencesKey; // "SETTINGS"
    // Page numbers of more digits than this are no use to anyone; a stored
    // value past it is brought back on load.
    static constexpr int kMaxLeadingZeros = 9;

    ConversionOptions snapshot() const;

    int outputType() const { return m_outputType; }
    bool isSetCurrentAsDefaultOutputFolderPath() const {
        return m_isSetCurrentAsDefaultOutputFolderPath;
    }
    bool isOpenFolderAfterConversion() const { return m_isOpenFolderAfterConversion; }
    QString outputFolderPath() const { return m_outputFolderPath; }
    QString separator() const { return m_separator; }
    int jpegQuality() const { return m_jpegQuality; }
    int tiffCompressionIndex() const { return m_tiffCompressionIndex; }
    bool isSplitTIFFIntoSinglePages() const { return m_isSplitTIFFIntoSinglePages; }
    bool isClearProcessedFiles() const { return m_isClearProcessedFiles; }
    int leadingZeros() const { return m_leadingZeros; }
    bool hasLeadingZeros() const { return m_hasLeadingZeros; }

    void setOutputType(int value);
    void setIsSetCurrentAsDefaultOutputFolderPath(bool value);
    void setIsOpenFolderAfterConversion(bool value);
    void setOutputFolderPath(const QString& value);
    void setSeparator(const QString& value);
    void setJpegQuality(int value);
    void setTiffCompressionIndex(int value);
    void setIsSplitTIFFIntoSinglePages(bool value);
    void setIsClearProcessedFiles(bool value);
    void setLeadingZeros(int value);

    // Replaces the fields from the dictionary form; anything that is not a
    // dictionary is ignored.
    void setData(const QVariant& data);
    // The dictionary form; invalid on failure.
    QVariant getData();
    // Stores getData() under "SETTINGS" and flushes the store.
    void synchronize();

    // The coder form: the ten fields under the dictionary keys.
    void encodeWithCoder(QDataStream& out) const;
    void initWithCoder(QDataStream& in);

Q_SIGNALS:
    void outputTypeChanged(int value);
    void isSetCurrentAsDefaultOutputFolderPathChanged(bool value);
    void isOpenFolderAfterConversionChanged(bool value);
    void outputFolderPathChanged(const QString& value);
    void separatorChanged(const QString& value);
    void jpegQualityChanged(int value);
    void tiffCompressionIndexChanged(int value);
    void isSplitTIFFIntoSinglePagesChanged(bool value);
    void isClearProcessedFilesChanged(bool value);
    void leadingZerosChanged(int value);

private:
    Preferences* m_store = nullptr;
    bool m_storeFailing = false;
    bool m_hasLeadingZeros = true;
    int m_outputType = OutputJpeg;
    bool m_isSetCurrentAsDefaultOutputFolderPath = true;
    bool m_isOpenFolderAfterConversion = true;
    QString m_outputFolderPath;
    QString m_separator;
    int m_jpegQuality = 10;
    int m_tiffCompressionIndex = 0;
    bool m_isSplitTIFFIntoSinglePages = false;
    bool m_isClearProcessedFiles = false;
    int m_leadingZeros = 0;
};
