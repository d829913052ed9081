#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The keys one save action writes together, in their order: what the action replaces in the file and
// nothing else. Values are kept as the file will hold them (booleans as "1" and "0").
class IniChanges final
{
public:
    void setString(const QString& section, const QString& key, const QString& value);
    void setInteger(const QString& section, const QString& key, int value);
    void setBool(const QString& section, const QString& key, bool value);
    bool isEmpty() const { return m_changes.isEmpty(); }
    int size() const { return static_cast<int>(m_changes.size()); }

private:
    friend class IniFile;
    struct Change
    {
        QString section;
        QString key;
        QString value;
    };
    QList<Change> m_changes;
};

// setinfo.ini: a profile file of sections and key=value lines in GB18030 with CRLF line ends.
// An object reads the file when it is made; its reads answer from that reading. A write reads the file
// afresh, replaces only the keys it is given, and puts the whole file in place in one atomic rewrite
// (AtomicFile) before it returns, so what other windows or a hand wrote meanwhile is kept and a refused
// write changes nothing. Files from other tools are read too: lines may end in CR, LF or CR LF, and a
// file that is UTF-8 (with or without a byte-order mark) is read as UTF-8 and written back as UTF-8, its
// mark kept.
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

    // All the changes in one rewrite of the file as it is on disk now; afterwards this object reads
    // the new file. Throws RuntimeError naming the file when it cannot be read or the file system
    // refuses the rewrite; the file is then as it was and none of the changes is in it.
    void write(const IniChanges& changes);
    // One key, one rewrite (see write).
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
    void load();
    void apply(const QString& section, const QString& key, const QString& value);
    void save() const;
    QString decode(const QByteArray& bytes) const;
    QByteArray encode(const QString& text) const;

    QString m_path;
    QList<QByteArray> m_lines; // raw lines without their line ends
    Encoding m_encoding = Encoding::Gb18030;
    bool m_byteOrderMark = false;
    QString m_unreadable; // why an existing file could not be read; writes are then refused
};
