#include "qtdesktop.h"

#include <QDesktopServices>

bool QtDesktop::open(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}
