#pragma once

#include <QDialog>
#include <QScopedPointer>

class Desktop;
class Dialogs;
class SamplePlayer;
struct Services;

namespace Ui {
class Tf_information;
}

// The notes window "使用须知": which recommended Chinese voices the engine has, their recorded
// samples, the download links, and whether to show it again at the next start.
class Tf_information final : public QDialog
{
    Q_OBJECT
public:
    // services.voice and services.samples may be null: no voices are listed, no sample plays.
    explicit Tf_information(const Services& services, QWidget* parent = nullptr);
    ~Tf_information() override;

    Ui::Tf_information* form() const { return m_ui.data(); }

    static const QString DownloadAddress1;
    static const QString DownloadAddress2;

    // Clears (true) or ticks (false) "下次运行时不显示本画面".
    void setShowAtStart(bool show);
    void playSample(int row);
    void sb_stopClick();
    // Every way of closing (close box, Escape) ends here once: the sample stops and the choice is stored.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    const QScopedPointer<Ui::Tf_information> m_ui;
    Dialogs& m_dialogs;
    Desktop& m_desktop;
    SamplePlayer* m_samples;
};
