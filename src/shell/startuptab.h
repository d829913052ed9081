#pragma once

#include <QScopedPointer>
#include <QWidget>

class Dialogs;

namespace Ui {
class StartupTab;
}

// The tab "启动" of the settings window: whether the station starts with its window hidden in the tray.
// It reads setinfo.ini when shown and writes it on its save button.
class StartupTab final : public QWidget
{
    Q_OBJECT
public:
    explicit StartupTab(Dialogs& dialogs, QWidget* parent = nullptr);
    ~StartupTab() override;

    Ui::StartupTab* form() const { return m_ui.data(); }

    void FormShow();
    void sb_saveClick();

private:
    const QScopedPointer<Ui::StartupTab> m_ui;
    Dialogs& m_dialogs;
};
