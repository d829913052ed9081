#include "spreadsheet.h"

SpreadsheetAutomation::~SpreadsheetAutomation() = default;

QString SpreadsheetAutomation::memberName(PageSetup member)
{
    switch (member) {
    case PageSetup::HeaderMargin:
        return QStringLiteral("headerMargin");
    case PageSetup::FooterMargin:
        return QStringLiteral("footerMargin");
    case PageSetup::TopMargin:
        return QStringLiteral("topMargin");
    case PageSetup::BottomMargin:
        return QStringLiteral("bottomMargin");
    case PageSetup::LeftMargin:
        return QStringLiteral("leftMargin");
    case PageSetup::RightMargin:
        return QStringLiteral("rightMargin");
    case PageSetup::LeftFooter:
        return QStringLiteral("leftfooter");
    case PageSetup::CenterFooter:
        return QStringLiteral("centerfooter");
    case PageSetup::RightFooter:
        return QStringLiteral("rightfooter");
    case PageSetup::LeftHeader:
        return QStringLiteral("leftHeader");
    case PageSetup::Orientation:
        return QStringLiteral("orientation");
    case PageSetup::PrintTitleRows:
        return QStringLiteral("printtitlerows");
    }
    return {};
}
