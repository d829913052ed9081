#include "tfdelaytime.h"

#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QShowEvent>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
// The window manager's title bar is not part of the window's size.
constexpr int TitleBarAllowance = 40;
} // namespace

TFdelaytime::TFdelaytime(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("FDelaytime"));
    setWindowTitle(QStringLiteral("系统设置"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    // The pages scroll when the screen is smaller than they would like (large scaling).
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("PagesScroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_pages = new QTabWidget(m_scroll);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    m_scroll->setWidget(m_pages);
    layout->addWidget(m_scroll);
}

void TFdelaytime::addPage(QWidget* page, const QString& title)
{
    m_pages->addTab(page, title);
}

void TFdelaytime::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        emit aboutToShow();
        if (!m_shownOnce) {
            m_shownOnce = true;
            m_pages->setCurrentIndex(0);
            // The size of its pages, but never more than the screen holds (with room for the title bar).
            const QMargins margins = layout()->contentsMargins();
            QSize wanted = m_pages->sizeHint().grownBy(margins);
            if (const QScreen* screen = QGuiApplication::primaryScreen()) {
                const QSize room = screen->availableGeometry().size() - QSize(0, TitleBarAllowance);
                if (wanted.height() > room.height()) {
                    wanted.rwidth() += style()->pixelMetric(QStyle::PM_ScrollBarExtent);
                }
                if (wanted.width() > room.width()) {
                    wanted.rheight() += style()->pixelMetric(QStyle::PM_ScrollBarExtent);
                }
                wanted = wanted.boundedTo(room);
            }
            setFixedSize(wanted);
            if (const QScreen* screen = QGuiApplication::primaryScreen()) {
                move(screen->availableGeometry().center() - rect().center());
            }
        }
    }
    QDialog::showEvent(event);
}
