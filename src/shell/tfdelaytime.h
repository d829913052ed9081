#pragma once

#include <QDialog>

class QScrollArea;
class QTabWidget;

// The settings window "系统设置": hosts the tabs that the subsystems provide, in the order they are added.
class TFdelaytime final : public QDialog
{
    Q_OBJECT
public:
    explicit TFdelaytime(QWidget* parent = nullptr);

    void addPage(QWidget* page, const QString& title);
    QTabWidget* pages() const { return m_pages; }

signals:
    // Each showing: the tabs reload from setinfo.ini, dropping edits that were not saved.
    void aboutToShow();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QScrollArea* m_scroll = nullptr;
    QTabWidget* m_pages = nullptr;
    bool m_shownOnce = false;
};
