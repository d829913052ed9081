#pragma once

#include <QUrl>

// Seam for handing a file or address to the desktop's default application.
class Desktop
{
public:
    virtual ~Desktop();
    // Returns false when no application could be started for it.
    virtual bool open(const QUrl& url) = 0;
};

// Without a desktop session nothing can be opened.
class NoDesktop final : public Desktop
{
public:
    bool open(const QUrl&) override { return false; }
};
