#pragma once

#include "common/desktop.h"

// Hands files and addresses to the desktop through QDesktopServices.
class QtDesktop final : public Desktop
{
public:
    bool open(const QUrl& url) override;
};
