#include "musicpanel.h"

#include "common/dialogs.h"
#include "common/errorguard.h"
#include "common/inifile.h"
#include "common/readingstate.h"
#include "common/services.h"
#include "common/stationsettings.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>

MusicPanel::MusicPanel(const Services& services, ReadingState& state, const MusicWidgets& widgets,
                       const QString& folder, QObject* parent, MusicPlayer::RandomDraw random)
    : QObject(parent)
    , m_w(widgets)
    , m_dialogs(services.dialogsOrConsole())
    , m_timer1(new QTimer(this))
    , m_timer2(new QTimer(this))
    , m_player(std::make_unique<MusicPlayer>(services.audio, static_cast<MusicView&>(*this), state,
                                             services.clockOrSystem(), std::move(random)))
{
    m_timer1->setObjectName(QStringLiteral("bj_timer1"));
    m_timer1->setInterval(1000);
    m_timer2->setObjectName(QStringLiteral("bj_timer2"));
    m_timer2->setInterval(20);

    m_player->setMusicLevel(m_w.bj_v->value());
    m_player->setSpeakingLevel(m_w.bj_v1->value());
    m_player->setPlayOrder(m_w.ComBox1->currentIndex());
    m_w.BJListBox1->setUniformItemSizes(true); // a folder of thousands of files stays quick

    connect(m_w.bj_play, &QAbstractButton::clicked, this, [this] { bj_playClick(); });
    connect(m_w.bj_stop, &QAbstractButton::clicked, this, [this] { bj_stopClick(); });
    connect(m_w.bj_next, &QAbstractButton::clicked, this, [this] { bj_nextClick(); });
    connect(m_w.bj_prev, &QAbstractButton::clicked, this, [this] { bj_prevClick(); });
    connect(m_w.bj_ok, &QAbstractButton::clicked, this, [this] { guarded(m_dialogs, [this] { bj_okClick(); }); });
    if (m_w.SB_music) {
        connect(m_w.SB_music, &QAbstractButton::clicked, this, [this] { SB_musicClick(); });
    }
    connect(m_w.bj_v, &QSpinBox::valueChanged, this, [this](int level) { m_player->bj_vChange(level); });
    connect(m_w.bj_v1, &QSpinBox::valueChanged, this, [this](int level) { m_player->bj_v1Change(level); });
    connect(m_w.ComBox1, &QComboBox::currentIndexChanged, this, [this](int index) { m_player->setPlayOrder(index); });
    connect(m_w.BJListBox1, &QListWidget::currentRowChanged, this, [this] { BJListBox1Change(); });
    connect(m_w.BJListBox1, &QListWidget::itemDoubleClicked, this, [this] { BJListBox1DblClick(); });
    connect(m_timer1, &QTimer::timeout, this, &MusicPanel::bj_timer1Timer);
    connect(m_timer2, &QTimer::timeout, this, &MusicPanel::bj_timer2Timer);

    setFolder(folder);
    // Both timers rest until a track starts (the player switches them).
}

MusicPanel::~MusicPanel() = default;

void MusicPanel::setFolder(const QString& folder)
{
    m_folder = folder;
    QStringList names;
    if (!folder.isEmpty()) {
        // Plain files only: no folders, no hidden files; "*.mp3" in any letter case, as the name sorts.
        names = QDir(folder).entryList({ QStringLiteral("*.mp3") }, QDir::Files | QDir::NoDotAndDotDot,
                                       QDir::Name | QDir::IgnoreCase);
    }
    {
        const QSignalBlocker blocker(m_w.BJListBox1);
        m_w.BJListBox1->clear();
        m_w.BJListBox1->addItems(names);
    }
    BJListBox1Change();
}

void MusicPanel::bj_playClick()
{
    m_player->bj_playClick();
}

void MusicPanel::bj_stopClick()
{
    m_player->bj_stopClick();
}

void MusicPanel::bj_nextClick()
{
    m_player->bj_nextClick();
}

void MusicPanel::bj_prevClick()
{
    m_player->bj_prevClick();
}

void MusicPanel::bj_timer1Timer()
{
    m_player->bj_timer1Timer();
}

void MusicPanel::bj_timer2Timer()
{
    m_player->bj_timer2Timer();
}

void MusicPanel::BJListBox1DblClick()
{
    m_player->bj_playClick();
}

void MusicPanel::BJListBox1Change()
{
    m_player->BJListBox1Change();
}

void MusicPanel::bj_okClick()
{
    const QString chosen = m_dialogs.folderName(QStringLiteral("选择背景音乐目录"), QString());
    if (chosen.isEmpty()) {
        return;
    }
    // The track that plays goes on; the next advance counts positions in the new list.
    setFolder(QDir::cleanPath(chosen));
    IniChanges changes;
    StationSettings::set(changes, StationSettings::Mp3bj, m_folder);
    IniFile(IniFile::defaultPath()).write(changes);
}

void MusicPanel::SB_musicClick()
{
    // The chooser's filter "MP3音乐文件(*.mp3)|*.mp3" in Qt's form.
    const QString chosen
        = m_dialogs.openFileName(QStringLiteral("指定播放的音乐"), m_folder, QStringLiteral("MP3音乐文件(*.mp3)"));
    // Cancelling removes the designated song.
    m_w.edt_song->setText(chosen);
    if (m_w.sb_save) {
        m_w.sb_save->setEnabled(true);
    }
}

void MusicPanel::play_the_song()
{
    m_player->play_the_song(m_w.edt_song->text().trimmed());
}

QString MusicPanel::song_endtime() const
{
    return m_player->song_endtime();
}

int MusicPanel::count() const
{
    return m_w.BJListBox1->count();
}

int MusicPanel::selectedIndex() const
{
    return m_w.BJListBox1->currentRow();
}

void MusicPanel::select(int index)
{
    const QSignalBlocker blocker(m_w.BJListBox1);
    m_w.BJListBox1->setCurrentRow(index);
}

QString MusicPanel::entryPath(int index) const
{
    const QListWidgetItem* item = m_w.BJListBox1->item(index);
    return item ? QDir(m_folder).filePath(item->text()) : QString();
}

bool MusicPanel::folderExists() const
{
    return QDir(m_folder).exists();
}

QString MusicPanel::folderPath() const
{
    return QDir::toNativeSeparators(m_folder);
}

void MusicPanel::showPosition(const QString& text)
{
    m_w.RzLEDDisplay1->setText(text);
}

void MusicPanel::showStatus(const QString& path)
{
    if (m_w.statusPanel2) {
        m_w.statusPanel2->setText(QDir::toNativeSeparators(path));
    }
}

void MusicPanel::setPositionTimer(bool on)
{
    if (on && !m_timer1->isActive()) {
        m_timer1->start();
    } else if (!on) {
        m_timer1->stop();
    }
}

void MusicPanel::setLevelTimer(bool on)
{
    if (on && !m_timer2->isActive()) {
        m_timer2->start();
    } else if (!on) {
        m_timer2->stop();
    }
}
