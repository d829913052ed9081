#pragma once

#include <QScopedPointer>
#include <QWidget>

#include <functional>

class Dialogs;

class QLineEdit;

namespace Ui {
class ContentTab;
}

struct ContentSettings;

// The settings tab "播报内容": the fixed text, the three age groups and the organisation name.
// It reloads from setinfo.ini each time the settings window is shown and writes on its save button.
class ContentTab final : public QWidget
{
    Q_OBJECT
public:
    // setMainreadText receives the fixed text the composition is to use from now on; edt_user is
    // the main window's read-only field that shows the organisation name.
    ContentTab(std::function<void(const QString&)> setMainreadText, QLineEdit* edt_user, Dialogs& dialogs,
               QWidget* parent = nullptr);
    ~ContentTab() override;

    Ui::ContentTab* form() const { return m_ui.data(); }

    // Showing the settings window: the file's values replace whatever was typed and not saved.
    void FormShow();
    void spe1Change();
    void spe2Change();
    void BitBtn1Click();

private:
    ContentSettings fromControls() const;

    const QScopedPointer<Ui::ContentTab> m_ui;
    Dialogs& m_dialogs;
    std::function<void(const QString&)> m_setMainreadText;
    QLineEdit* m_edt_user = nullptr;
};
