#pragma once

#include <QString>

// Makes a folder read-only for everybody, root included (the tests run as root, whom file modes do not
// stop): the folder is bind-mounted onto itself read-only, so writes there meet EROFS as on a
// read-only installation. Mounting needs root; available() says whether it worked and failure() why not.
class ReadOnlyFolder final
{
public:
    explicit ReadOnlyFolder(const QString& path);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    bool available() const { return m_mounted; }
    QString failure() const { return m_failure; }

private:
    QString m_path;
    bool m_mounted = false;
    QString m_failure;
};
