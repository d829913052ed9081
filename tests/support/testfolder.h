#pragma once

#include <QString>
#include <QTemporaryDir>

// A fresh program folder for one test: progdir() answers it until the object goes.
class TestFolder final
{
public:
    TestFolder();
    ~TestFolder();

    QString path() const; // ends in a separator
    QString file(const QString& name) const;
    // Writes the bytes to a file of the folder, creating its parent folders.
    void write(const QString& name, const QByteArray& bytes) const;
    QByteArray read(const QString& name) const;
    bool exists(const QString& name) const;
    // Puts the built program into the folder (a hard link, else a copy), so that the folder is the
    // program's own; answers its path, empty when neither worked.
    QString placeProgram(const QString& binary) const;

private:
    QTemporaryDir m_dir;
};
