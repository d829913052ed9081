#include "tfdelaytime.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>

TFdelaytime::TFdelaytime(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("FDelaytime"));
    setWindowTitle(QStringLiteral("系统设置"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    layout->addWidget(m_pages);
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
            setFixedSize(sizeHint());
            if (const QScreen* screen = QGuiApplication::primaryScreen()) {
                move(screen->availableGeometry().center() - rect().center());
            }
        }
    }
    QDialog::showEvent(event);
}
