#include "inifile.h"

#include "ansi.h"
#include "helpers.h"
#include "runtimeerror.h"

#include <QFile>
#include <QSaveFile>

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

bool sameName(const QByteArray& raw, const QString& name)
{
    return Ansi::decode(raw).compare(name, Qt::CaseInsensitive) == 0;
}

} // namespace

IniFile::IniFile(const QString& path)
    : m_path(path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return;
    }
    const QByteArray content = file.readAll();
    m_lines = content.split('\n');
    if (!m_lines.isEmpty() && m_lines.last().isEmpty()) {
        m_lines.removeLast();
    }
    for (QByteArray& line : m_lines) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
    }
}

QString IniFile::defaultPath()
{
    return progdir() + QStringLiteral("setinfo.ini");
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
            if (sameName(name, section)) {
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
        if (sameName(trimBlanks(line.left(eq)), key)) {
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
    return Ansi::left(Ansi::decode(value), MaxValueBytes);
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
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString& section, const QString& key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value)
{
    const QList<QByteArray> before = m_lines;
    const QByteArray line = Ansi::encode(key) + '=' + Ansi::encode(value);
    const Location where = locate(section, key);
    if (where.keyLine >= 0) {
        m_lines[where.keyLine] = line;
    } else if (where.sectionLine >= 0) {
        m_lines.insert(where.insertAt, line);
    } else {
        m_lines.append('[' + Ansi::encode(section) + ']');
        m_lines.append(line);
    }
    try {
        save();
    } catch (...) {
        m_lines = before;
        throw;
    }
}

void IniFile::save() const
{
    QByteArray content;
    for (const QByteArray& line : m_lines) {
        content += line;
        content += "\r\n";
    }
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit()) {
        throw RuntimeError(QStringLiteral("无法写入设置文件 %1：%2").arg(m_path, file.errorString()));
    }
}
