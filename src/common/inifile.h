#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// setinfo.ini: a profile file of sections and key=value lines in GB18030 with CRLF line ends.
// An object is one opening of the file: it reads the file once, and every write reaches the disk
// (atomically, through AtomicFile) before it returns. Files from other tools are read too: lines may
// end in CR, LF or CR LF, and a file that is UTF-8 (with or without a byte-order mark) is read as UTF-8
// and written back as UTF-8, its mark kept.
class IniFile final
{
public:
    enum class Encoding { Gb18030, Utf8 };

    explicit IniFile(const QString& path);
    // The settings file of the program folder.
    static QString defaultPath();

    int readInteger(const QString& section, const QString& key, int defaultValue) const;
    bool readBool(const QString& section, const QString& key, bool defaultValue) const;
    QString readString(const QString& section, const QString& key, const QString& defaultValue) const;
    bool hasKey(const QString& section, const QString& key) const;

    // Each write throws RuntimeError naming the file when the file system refuses it.
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);
    void writeString(const QString& section, const QString& key, const QString& value);

    QString path() const { return m_path; }
    Encoding encoding() const { return m_encoding; }
    bool hasByteOrderMark() const { return m_byteOrderMark; }

    // The value forms, public for the tests.
    static bool parseInteger(const QString& text, int* value);
    static constexpr int MaxValueBytes = 2047;

private:
    struct Location
    {
        int sectionLine = -1; // index of the [section] line, -1 when missing
        int keyLine = -1; // index of the key's line, -1 when missing
        int insertAt = -1; // where a new key of the section goes
    };
    Location locate(const QString& section, const QString& key) const;
    void save() const;
    QString decode(const QByteArray& bytes) const;
    QByteArray encode(const QString& text) const;

    QString m_path;
    QList<QByteArray> m_lines; // raw lines without their line ends
    Encoding m_encoding = Encoding::Gb18030;
    bool m_byteOrderMark = false;
    QString m_unreadable; // why an existing file could not be read; writes are then refused
};
