#pragma once

#include "musicplayer.h"

#include <QObject>
#include <QString>

#include <memory>

class Dialogs;
class QAbstractButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QTimer;
class ReadingState;
struct Services;

// The main window's music controls, handed over by the window that owns them.
struct MusicWidgets
{
    QAbstractButton* bj_play = nullptr;
    QAbstractButton* bj_stop = nullptr;
    QAbstractButton* bj_next = nullptr;
    QAbstractButton* bj_prev = nullptr;
    QAbstractButton* bj_ok = nullptr;
    QSpinBox* bj_v = nullptr;
    QSpinBox* bj_v1 = nullptr;
    QComboBox* ComBox1 = nullptr;
    QLabel* RzLEDDisplay1 = nullptr;
    QListWidget* BJListBox1 = nullptr;
    QLabel* statusPanel2 = nullptr;
    QAbstractButton* SB_music = nullptr;
    QLineEdit* edt_song = nullptr;
    QAbstractButton* sb_save = nullptr; // enabled when the designated song changes
};

// The background music panel: lists the MP3 files of the music folder, drives the player from the
// buttons, the level fields, the play-order box and its two timers, and chooses the music folder and
// the designated song.
class MusicPanel final : public QObject, private MusicView
{
    Q_OBJECT
public:
    // The widgets' current values (levels, play order) are taken over; the folder is listed at once.
    // A null services.audio makes the panel silent.
    MusicPanel(const Services& services, ReadingState& state, const MusicWidgets& widgets, const QString& folder,
               QObject* parent = nullptr, MusicPlayer::RandomDraw random = {});
    ~MusicPanel() override;

    MusicPlayer& player() { return *m_player; }
    QString folder() const { return m_folder; }
    // Lists the folder's MP3 files (the hidden folder list taking a new folder).
    void setFolder(const QString& folder);
    QTimer* bj_timer1() const { return m_timer1; }
    QTimer* bj_timer2() const { return m_timer2; }

    void bj_playClick();
    void bj_stopClick();
    void bj_nextClick();
    void bj_prevClick();
    void bj_okClick();
    void BJListBox1DblClick();
    void BJListBox1Change();
    void SB_musicClick();
    void bj_timer1Timer();
    void bj_timer2Timer();
    // Plays the designated song of edt_song.
    void play_the_song();
    QString song_endtime() const;

private:
    int count() const override;
    int selectedIndex() const override;
    void select(int index) override;
    QString entryPath(int index) const override;
    bool folderExists() const override;
    QString folderPath() const override;
    void showPosition(const QString& text) override;
    void showStatus(const QString& path) override;
    void setPositionTimer(bool on) override;
    void setLevelTimer(bool on) override;

    MusicWidgets m_w;
    Dialogs& m_dialogs;
    QString m_folder;
    QTimer* m_timer1;
    QTimer* m_timer2;
    std::unique_ptr<MusicPlayer> m_player;
};
