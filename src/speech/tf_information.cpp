#include "tf_information.h"

#include "common/desktop.h"
#include "common/errorguard.h"
#include "common/helpers.h"
#include "common/inifile.h"
#include "common/services.h"
#include "common/stationsettings.h"
#include "speech/sampleplayer.h"
#include "speech/voiceengine.h"
#include "speech/voicenotice.h"
#include "ui_tf_information.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QUrl>

// Where a user of this Debian station gets the voices: the package that holds them, and espeak-ng's
// list of its languages and voices.
const QString Tf_information::DownloadAddress1 = QStringLiteral("https://packages.debian.org/bookworm/espeak-ng-data");
const QString Tf_information::DownloadAddress2
    = QStringLiteral("https://github.com/espeak-ng/espeak-ng/blob/master/docs/languages.md");

Tf_information::Tf_information(const Services& services, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint)
    , m_ui(new Ui::Tf_information)
    , m_dialogs(services.dialogsOrConsole())
    , m_desktop(services.desktopOrNone())
    , m_samples(services.samples)
{
    VoiceEngine* voice = services.voice;
    m_ui->setupUi(this);
    setFixedSize(440, 431);
    setModal(false);

    QStringList engineVoices;
    QStringList chineseVoices;
    guarded(m_dialogs, [&] {
        if (voice) {
            engineVoices = voice->voices();
            chineseVoices = VoiceNotice::chineseVoices(*voice);
        }
    });
    m_ui->Label_greeting->setText(VoiceNotice::greeting(chineseVoices));
    const auto& rows = VoiceNotice::recommendedVoices();
    for (int row = 0; row < rows.size(); ++row) {
        if (auto* status = findChild<QLabel*>(rows.at(row).statusName)) {
            status->setText(VoiceNotice::installedStatus(rows.at(row).voiceName, engineVoices));
        }
        const QString button = QStringLiteral("btn_") + rows.at(row).statusName.mid(4);
        if (auto* sample = findChild<QPushButton*>(button)) {
            connect(sample, &QPushButton::clicked, this,
                    [this, row] { guarded(m_dialogs, [this, row] { playSample(row); }); });
        }
    }
    connect(m_ui->sb_stop, &QPushButton::clicked, this, [this] { guarded(m_dialogs, [this] { sb_stopClick(); }); });
    const struct
    {
        QLabel* label;
        QString address;
    } links[] = { { m_ui->Label_down1, DownloadAddress1 }, { m_ui->Label_down2, DownloadAddress2 } };
    for (const auto& link : links) {
        link.label->setText(QStringLiteral("<a href=\"%1\" style=\"color: blue; text-decoration: underline;\">%2</a>")
                                .arg(link.address, link.label->text()));
        link.label->setTextFormat(Qt::RichText);
        link.label->setToolTip(link.address);
        connect(link.label, &QLabel::linkActivated, this,
                [this](const QString& address) { m_desktop.open(QUrl(address)); });
    }

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

Tf_information::~Tf_information() = default;

void Tf_information::setShowAtStart(bool show)
{
    m_ui->CheckBox1->setChecked(!show);
}

void Tf_information::playSample(int row)
{
    const auto& voice = VoiceNotice::recommendedVoices().at(row);
    const QString path = VoiceNotice::ensureSampleFile(voice, tempdir());
    if (!m_samples) {
        return;
    }
    m_samples->play(path);
    m_ui->sb_stop->setVisible(true);
}

void Tf_information::sb_stopClick()
{
    if (m_samples) {
        m_samples->stop();
    }
}

void Tf_information::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        m_ui->CheckBox1->setChecked(
            StationSettings::read(IniFile(IniFile::defaultPath()), StationSettings::TtsInformation));
    }
    QDialog::showEvent(event);
}

void Tf_information::done(int result)
{
    if (m_samples && m_samples->isPlaying()) {
        m_samples->stop();
    }
    guarded(m_dialogs, [this] {
        IniChanges changes;
        StationSettings::set(changes, StationSettings::TtsInformation, m_ui->CheckBox1->isChecked());
        IniFile(IniFile::defaultPath()).write(changes);
    });
    QDialog::done(result);
}
