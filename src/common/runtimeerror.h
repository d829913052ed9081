#pragma once

#include <QString>

#include <stdexcept>

// A failure of a library or the file system, carrying its message for the error box.
class RuntimeError : public std::runtime_error
{
public:
    explicit RuntimeError(const QString& message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    {
    }

    QString message() const { return m_message; }

private:
    QString m_message;
};
