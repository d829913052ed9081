#include "inifile.h"

#include "ansi.h"
#include "atomicfile.h"
#include "eventlog.h"
#include "helpers.h"
#include "runtimeerror.h"
#include "stationfolders.h"

#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <cctype>
#include <limits>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArray trimBlanks(const QByteArray& bytes)
{
    qsizetype start = 0;
    qsizetype end = bytes.size();
    while (start < end && isBlank(bytes.at(start))) {
        ++start;
    }
    while (end > start && isBlank(bytes.at(end - 1))) {
        --end;
    }
    return bytes.mid(start, end - start);
}

// The section name of a "[name]" line, or a null array for any other line.
QByteArray sectionName(const QByteArray& line)
{
    const QByteArray trimmed = trimBlanks(line);
    if (!trimmed.startsWith('[')) {
        return {};
    }
    const qsizetype close = trimmed.indexOf(']');
    if (close < 0) {
        return {};
    }
    QByteArray name = trimBlanks(trimmed.mid(1, close - 1));
    return name.isNull() ? QByteArray("") : name;
}

const QByteArray ByteOrderMark("\xEF\xBB\xBF");

// Lines end in CR LF, LF or a lone CR (neither byte occurs inside a GB18030 or UTF-8 character).
QList<QByteArray> splitLines(const QByteArray& content)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < content.size(); ++i) {
        const char c = content.at(i);
        if (c != '\r' && c != '\n') {
            continue;
        }
        lines.append(content.mid(start, i - start));
        if (c == '\r' && i + 1 < content.size() && content.at(i + 1) == '\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < content.size()) {
        lines.append(content.mid(start));
    }
    return lines;
}

bool isAscii(const QByteArray& content)
{
    return std::none_of(content.begin(), content.end(), [](char c) { return (c & 0x80) != 0; });
}

bool isValidUtf8(const QByteArray& content, bool* beyondTwoBytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(content);
    *beyondTwoBytes = std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x800; });
    return !decoder.hasError();
}

// Once per file and encoding, so a file changed by hand shows in the log when it is next read.
void logEncodingOnce(const QString& path, IniFile::Encoding encoding, bool byteOrderMark)
{
    static QMutex mutex;
    static QSet<QString> logged;
    const QString name = encoding == IniFile::Encoding::Utf8
        ? (byteOrderMark ? QStringLiteral("UTF-8 with a byte-order mark") : QStringLiteral("UTF-8"))
        : (byteOrderMark ? QStringLiteral("GB18030 after a byte-order mark") : QStringLiteral("GB18030"));
    {
        QMutexLocker lock(&mutex);
        const QString key = path + QLatin1Char('\n') + name;
        if (logged.contains(key)) {
            return;
        }
        logged.insert(key);
    }
    logEvent(QStringLiteral("settings file %1 read as %2").arg(path, name));
}

} // namespace

void IniChanges::setString(const QString& section, const QString& key, const QString& value)
{
    m_changes.append({ section, key, value });
}

void IniChanges::setInteger(const QString& section, const QString& key, int value)
{
    setString(section, key, QString::number(value));
}

void IniChanges::setBool(const QString& section, const QString& key, bool value)
{
    setString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

IniFile::IniFile(const QString& path)
    : m_path(path)
{
    load();
}

void IniFile::load()
{
    m_lines.clear();
    m_encoding = Encoding::Gb18030;
    m_byteOrderMark = false;
    m_unreadable.clear();
    QFile file(m_path);
    if (!file.exists()) {
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        // Writing now would replace settings nobody could read: every write is refused instead.
        m_unreadable = file.errorString();
        logEvent(QStringLiteral("settings file %1 cannot be read: %2").arg(m_path, m_unreadable));
        return;
    }
    QByteArray content = file.readAll();
    if (content.startsWith(ByteOrderMark)) {
        m_byteOrderMark = true;
        content.remove(0, ByteOrderMark.size());
    }
    // UTF-8 when marked so, or when it is valid UTF-8 holding characters of three bytes or more (every
    // Chinese character is). Two-byte sequences alone are not enough: GB18030 pairs such as the bytes
    // of "祝" pass as UTF-8 and would read as Hebrew. Plain ASCII reads the same either way.
    bool wide = false;
    if (isValidUtf8(content, &wide) && (m_byteOrderMark || (!isAscii(content) && wide))) {
        m_encoding = Encoding::Utf8;
    }
    m_lines = splitLines(content);
    logEncodingOnce(m_path, m_encoding, m_byteOrderMark);
}

QString IniFile::decode(const QByteArray& bytes) const
{
    return m_encoding == Encoding::Utf8 ? QString::fromUtf8(bytes) : Ansi::decode(bytes);
}

QByteArray IniFile::encode(const QString& text) const
{
    return m_encoding == Encoding::Utf8 ? text.toUtf8() : Ansi::encode(text);
}

QString IniFile::defaultPath()
{
    return StationFolders::current().settingsFile();
}

IniFile::Location IniFile::locate(const QString& section, const QString& key) const
{
    Location where;
    bool inSection = false;
    for (int i = 0; i < m_lines.size(); ++i) {
        const QByteArray& line = m_lines.at(i);
        const QByteArray name = sectionName(line);
        if (!name.isNull()) {
            if (inSection) {
                break; // the section ends here
            }
            if (decode(name).compare(section, Qt::CaseInsensitive) == 0) {
                inSection = true;
                where.sectionLine = i;
                where.insertAt = i + 1;
            }
            continue;
        }
        if (!inSection) {
            continue;
        }
        if (!trimBlanks(line).isEmpty()) {
            where.insertAt = i + 1;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq < 0 || where.keyLine >= 0) {
            continue;
        }
        if (decode(trimBlanks(line.left(eq))).compare(key, Qt::CaseInsensitive) == 0) {
            where.keyLine = i;
        }
    }
    return where;
}

bool IniFile::hasKey(const QString& section, const QString& key) const
{
    return locate(section, key).keyLine >= 0;
}

QString IniFile::readString(const QString& section, const QString& key, const QString& defaultValue) const
{
    const Location where = locate(section, key);
    if (where.keyLine < 0) {
        return defaultValue;
    }
    const QByteArray& line = m_lines.at(where.keyLine);
    QByteArray value = trimBlanks(line.mid(line.indexOf('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        value = value.mid(1, value.size() - 2);
    }
    // The limit counts code-page bytes of the text, whatever the file's own encoding.
    return Ansi::left(decode(value), MaxValueBytes);
}

bool IniFile::parseInteger(const QString& text, int* value)
{
    QString digits = text.trimmed();
    bool negative = false;
    if (digits.startsWith(QLatin1Char('-')) || digits.startsWith(QLatin1Char('+'))) {
        negative = digits.startsWith(QLatin1Char('-'));
        digits.remove(0, 1);
    }
    int base = 10;
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        digits.remove(0, 2);
    } else if (digits.startsWith(QLatin1Char('$'))) {
        base = 16;
        digits.remove(0, 1);
    }
    if (digits.isEmpty()) {
        return false;
    }
    for (const QChar c : std::as_const(digits)) {
        const bool ok = base == 10 ? (c >= QLatin1Char('0') && c <= QLatin1Char('9')) : isxdigit(c.toLatin1());
        if (!ok || c.unicode() > 0x7f) {
            return false;
        }
    }
    bool ok = false;
    const qint64 magnitude = digits.toLongLong(&ok, base);
    if (!ok) {
        return false;
    }
    const qint64 signedValue = negative ? -magnitude : magnitude;
    // Hexadecimal spells the 32-bit pattern: $FFFFFFFF is -1.
    if (base == 16 && !negative && magnitude <= 0xFFFFFFFFLL) {
        *value = static_cast<int>(static_cast<quint32>(magnitude));
        return true;
    }
    if (signedValue < std::numeric_limits<int>::min() || signedValue > std::numeric_limits<int>::max()) {
        return false;
    }
    *value = static_cast<int>(signedValue);
    return true;
}

int IniFile::readInteger(const QString& section, const QString& key, int defaultValue) const
{
    if (!hasKey(section, key)) {
        return defaultValue;
    }
    int value = 0;
    return parseInteger(readString(section, key, QString()), &value) ? value : defaultValue;
}

bool IniFile::readBool(const QString& section, const QString& key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::writeInteger(const QString& section, const QString& key, int value)
{
    IniChanges changes;
    changes.setInteger(section, key, value);
    write(changes);
}

void IniFile::writeBool(const QString& section, const QString& key, bool value)
{
    IniChanges changes;
    changes.setBool(section, key, value);
    write(changes);
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value)
{
    IniChanges changes;
    changes.setString(section, key, value);
    write(changes);
}

void IniFile::write(const IniChanges& changes)
{
    // The file as it is now, not as this object first read it: another window or a hand may have
    // written it since.
    load();
    if (!m_unreadable.isEmpty()) {
        throw RuntimeError(
            QStringLiteral("无法写入设置文件 %1：它无法读取（%2），写入会丢失其中的设置").arg(m_path, m_unreadable));
    }
    const QList<QByteArray> before = m_lines;
    for (const IniChanges::Change& change : changes.m_changes) {
        apply(change.section, change.key, change.value);
    }
    try {
        save();
    } catch (...) {
        m_lines = before;
        throw;
    }
}

void IniFile::apply(const QString& section, const QString& key, const QString& value)
{
    const QByteArray line = encode(key) + '=' + encode(value);
    const Location where = locate(section, key);
    if (where.keyLine >= 0) {
        m_lines[where.keyLine] = line;
    } else if (where.sectionLine >= 0) {
        m_lines.insert(where.insertAt, line);
    } else {
        m_lines.append('[' + encode(section) + ']');
        m_lines.append(line);
    }
}

void IniFile::save() const
{
    QByteArray content = m_byteOrderMark ? ByteOrderMark : QByteArray();
    for (const QByteArray& line : m_lines) {
        content += line;
        content += "\r\n";
    }
    try {
        AtomicFile::replace(m_path, content);
    } catch (const FileWriteError& error) {
        throw RuntimeError(QStringLiteral("无法写入设置文件 %1：%2").arg(m_path, error.reason()));
    }
}
