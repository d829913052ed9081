#include "birthdays/birthdaylist.h"
#include "ciskip.h"
#include "common/eventlog.h"
#include "common/helpers.h"
#include "common/inifile.h"
#include "common/stationfolders.h"
#include "common/stationsettings.h"
#include "data/tdm.h"
#include "datafixture.h"
#include "fulldisk.h"
#include "recordingdesktop.h"
#include "recordingpowercontrol.h"
#include "recordingspreadsheet.h"
#include "renamewatch.h"
#include "schedule/schedulepanel.h"
#include "shell/application.h"
#include "shell/startuptab.h"
#include "shell/station.h"
#include "shell/tf_about.h"
#include "shell/tf_speaker.h"
#include "shell/tfdelaytime.h"
#include "shell/windowsettings.h"
#include "speech/tf_information.h"
#include "ui_startuptab.h"
#include "ui_tf_speaker.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<StationFixture>(QDateTime(QDate(2024, 3, 5), QTime(8, 0))); // a Tuesday
    }

    void cleanup() { m_fixture.reset(); }

    void defaultsWithoutSettingsFile()
    {
        m_fixture->start();
        const auto* ui = m_fixture->form();
        QCOMPARE(ui->TrackBar2->value(), 2);
        QCOMPARE(ui->StaticText6->text(), QStringLiteral("2"));
        QCOMPARE(ui->TrackBar1->value(), 100);
        QCOMPARE(ui->StaticText9->text(), QStringLiteral("100"));
        QCOMPARE(ui->TimeEdit1->time(), QTime(9, 0));
        QCOMPARE(ui->TimeEdit2->time(), QTime(14, 0));
        QVERIFY(!ui->chk1->isChecked());
        for (QCheckBox* box : { ui->chk2, ui->chk3, ui->chk4, ui->chk5, ui->chk6, ui->chk7 }) {
            QVERIFY(box->isChecked());
        }
        QCOMPARE(ui->SpinEdit1->value(), 2);
        QCOMPARE(ui->SpinEdit2->value(), 60);
        QCOMPARE(ui->SpinEdit3->value(), 90);
        QCOMPARE(ui->SpinEdit4->value(), 1);
        QCOMPARE(ui->bj_v->value(), 40);
        QCOMPARE(ui->bj_v1->value(), 10);
        QCOMPARE(ui->ComBox1->currentIndex(), 0);
        QVERIFY(ui->chk_next->isChecked());
        QVERIFY(ui->SB_repeat1->isHidden());
        QCOMPARE(
            m_fixture->main()->MainreadText(),
            QStringLiteral("在这里我们祝他生日快乐，感谢你们辛勤付出，公司将为你准备神秘小礼物一件，请赶快来领取吧！"));
        // The interval loaded (60) differs from the form's 10, so the save button is ready.
        QVERIFY(ui->sb_save->isEnabled());
        QCOMPARE(m_fixture->folder.read(QStringLiteral("setinfo.ini")), QByteArray("[System]\r\nNext_month=1\r\n"));
        QCOMPARE(m_fixture->main()->statusPanel(1)->text(), QStringLiteral("2024-03-05 星期二"));
        QCOMPARE(m_fixture->main()->windowTitle(), QStringLiteral("Kelvora"));
    }

    void storedValuesAreRestored()
    {
        m_fixture->folder.write(
            QStringLiteral("setinfo.ini"),
            "[Speaker]\r\nRate=-15\r\nVolume=95\r\n[System]\r\nReadtimes=3\r\nIntervaltime=10\r\n"
            "Playmode=1\r\nCheckBox1=1\r\nCheckBox3=0\r\nplaytime1=8:30:00\r\nplaytime2=17:45:10\r\n"
            "Days=0x1E\r\nShowdays=3\r\nRead_add2=1\r\nNext_month=0\r\ndefault_volume=70\r\n"
            "default_volume1=20\r\nmp3file=/music/song.mp3\r\n");
        m_fixture->start();
        const auto* ui = m_fixture->form();
        QCOMPARE(ui->TrackBar2->value(), -10);
        QCOMPARE(ui->TrackBar1->value(), 95);
        QCOMPARE(ui->StaticText9->text(), QStringLiteral("95"));
        QCOMPARE(ui->SpinEdit1->value(), 3);
        QCOMPARE(ui->SpinEdit2->value(), 10);
        QCOMPARE(ui->ComBox1->currentIndex(), 1);
        QVERIFY(ui->chk1->isChecked());
        QVERIFY(!ui->chk3->isChecked());
        QCOMPARE(ui->TimeEdit1->time(), QTime(8, 30));
        QCOMPARE(ui->TimeEdit2->time(), QTime(17, 45, 10));
        QCOMPARE(ui->SpinEdit3->value(), 30);
        QCOMPARE(ui->SpinEdit4->value(), 3);
        QVERIFY(ui->chk_read2->isChecked());
        QVERIFY(!ui->chk_next->isChecked());
        QCOMPARE(ui->bj_v->value(), 70);
        QCOMPARE(ui->bj_v1->value(), 20);
        QCOMPARE(ui->edt_song->text(), QStringLiteral("/music/song.mp3"));
        QCOMPARE(IniFile(IniFile::defaultPath())
                     .readString(QStringLiteral("System"), QStringLiteral("Next_month"), QString()),
                 QStringLiteral("0"));
    }

    void closeBoxOnlyHides()
    {
        m_fixture->start();
        QSignalSpy ended(m_fixture->station.get(), &Station::finished);
        m_fixture->station->showMainWindow();
        QVERIFY(m_fixture->main()->isVisible());
        m_fixture->main()->close();
        QVERIFY(ended.isEmpty());
        QVERIFY(!m_fixture->main()->isVisible() || m_fixture->main()->isMinimized());
        QCOMPARE(m_fixture->dialogs.takeTexts().size(), 1); // the first close says the station keeps running
    }

    // No tray at start-up (the panel comes later at log-in): the icon exists, the close box minimises;
    // the tray that appears gets the icon, and the close box hides to it from then on. A tray that
    // goes away while the window is hidden brings the window back.
    void trayThatAppearsLater()
    {
        m_fixture->start();
        Tf_speaker* main = m_fixture->main();
        bool tray = false;
        main->setTrayProbe([&tray] { return tray; });
        main->trayCheck();
        QVERIFY(main->trayIcon());
        QVERIFY(!main->trayIcon()->isVisible());
        m_fixture->station->showMainWindow();
        main->close();
        QVERIFY(main->isMinimized());
        const QStringList said = m_fixture->dialogs.takeTexts();
        QCOMPARE(said.size(), 1);
        QVERIFY2(said.first().contains(QStringLiteral("仍在运行")) && said.first().contains(QStringLiteral("任务栏")),
                 qPrintable(said.first()));

        tray = true;
        main->trayCheck();
        QVERIFY(main->trayIcon()->isVisible());
        main->showNormal();
        main->close();
        QVERIFY(!main->isVisible());
        QVERIFY(m_fixture->dialogs.takeTexts().isEmpty()); // said once only

        tray = false;
        main->trayCheck();
        QVERIFY(!main->trayIcon()->isVisible());
        QVERIFY(main->isVisible() && main->isMinimized());
        // Checked every few seconds, not more often.
        auto* timer = main->findChild<QTimer*>(QStringLiteral("TrayTimer"));
        QVERIFY(timer && timer->isActive());
        QVERIFY(timer->interval() >= 2000);
    }

    // Said once per user, not once per start.
    void stillRunningIsSaidOnce()
    {
        m_fixture->start();
        m_fixture->station->showMainWindow();
        m_fixture->main()->close();
        QCOMPARE(m_fixture->dialogs.takeTexts().size(), 1);
        QVERIFY(StationSettings::read(IniFile(IniFile::defaultPath()), StationSettings::TrayNoticeShown));
        m_fixture->station.reset();
        m_fixture->start();
        m_fixture->station->showMainWindow();
        m_fixture->main()->close();
        QVERIFY(m_fixture->dialogs.takeTexts().isEmpty());
    }

    // StartHidden (系统设置 → 启动) or --minimized: in the tray when there is one, else minimised.
    void startsHidden_data()
    {
        QTest::addColumn<bool>("setting");
        QTest::addColumn<bool>("minimized");
        QTest::addColumn<bool>("tray");
        QTest::addColumn<QString>("expected"); // shown, hidden, minimised
        QTest::newRow("plain") << false << false << true << "shown";
        QTest::newRow("setting, tray") << true << false << true << "hidden";
        QTest::newRow("--minimized, tray") << false << true << true << "hidden";
        QTest::newRow("--minimized, no tray") << false << true << false << "minimised";
        QTest::newRow("setting, no tray") << true << false << false << "minimised";
    }

    void startsHidden()
    {
        QFETCH(bool, setting);
        QFETCH(bool, minimized);
        QFETCH(bool, tray);
        QFETCH(QString, expected);
        m_fixture->folder.write(QStringLiteral("setinfo.ini"),
                                setting ? "[Window]\r\nStartHidden=1\r\n" : "[Window]\r\nStartHidden=0\r\n");
        m_fixture->start();
        Tf_speaker* main = m_fixture->main();
        main->setTrayProbe([tray] { return tray; });
        main->trayCheck();
        m_fixture->station->showMainWindow(minimized);
        const QString state = !main->isVisible() ? QStringLiteral("hidden")
            : main->isMinimized()                ? QStringLiteral("minimised")
                                                 : QStringLiteral("shown");
        QCOMPARE(state, expected);
        if (expected == QStringLiteral("hidden")) {
            QCOMPARE(main->trayIcon()->isVisible(), true);
            QVERIFY(main->findChild<QAction*>(QStringLiteral("N18"))->isChecked());
        }
    }

    void startupTabStoresStartHidden()
    {
        m_fixture->start();
        auto* tab = m_fixture->station->settingsWindow()->findChild<StartupTab*>(QStringLiteral("TabSheet_startup"));
        QVERIFY(tab);
        tab->FormShow();
        QVERIFY(!tab->form()->chk_starthidden->isChecked());
        tab->form()->chk_starthidden->setChecked(true);
        tab->form()->sb_save->click();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList { QStringLiteral("保存成功!") });
        QVERIFY(WindowSettings::read(IniFile(IniFile::defaultPath())).startHidden);
        tab->form()->chk_starthidden->setChecked(false);
        tab->FormShow(); // shown again: what the file says
        QVERIFY(tab->form()->chk_starthidden->isChecked());
    }

    // Where the window was, it comes back; never larger than the screen, never off it.
    void windowGeometryIsRemembered()
    {
        m_fixture->start();
        Tf_speaker* main = m_fixture->main();
        const QRect available = main->screen()->availableGeometry();
        // Nothing stored: the window fits the screen.
        QVERIFY2(
            available.contains(main->geometry()),
            qPrintable(
                QStringLiteral("%1,%2 %3x%4").arg(main->x()).arg(main->y()).arg(main->width()).arg(main->height())));
        m_fixture->station->showMainWindow();
        const QRect chosen(available.x() + 20, available.y() + 10, available.width() - 30, available.height() / 2);
        QVERIFY(chosen.width() >= main->minimumSizeHint().width());
        main->setGeometry(chosen);
        main->form()->SB_close->click();
        const WindowSettings stored = WindowSettings::read(IniFile(IniFile::defaultPath()));
        QCOMPARE(stored.geometry, chosen);
        QVERIFY(!stored.maximized);

        m_fixture->station.reset();
        m_fixture->start();
        QCOMPARE(m_fixture->main()->geometry(), chosen);

        // A screen that shrank or went away: pulled back onto this one, at most its size.
        m_fixture->station.reset();
        {
            IniChanges changes;
            WindowSettings::setGeometry(changes, QRect(-5000, 3000, 4000, 3000), false);
            IniFile(IniFile::defaultPath()).write(changes);
        }
        m_fixture->start();
        QVERIFY(available.contains(m_fixture->main()->geometry()));
        QCOMPARE(m_fixture->main()->size(), available.size());
    }

    // Small screens and large scaling: the panels scroll, the window's own minimum stays small.
    void usableOnASmallScreen()
    {
        m_fixture->start();
        // 1366x768 at 125 % leaves about 1092x580 for the window, 1920x1080 at 200 % about 960x510.
        const QSize minimum = m_fixture->main()->minimumSizeHint();
        QVERIFY2(minimum.width() <= 900 && minimum.height() <= 420,
                 qPrintable(QStringLiteral("%1x%2").arg(minimum.width()).arg(minimum.height())));
        QVERIFY(m_fixture->main()->findChild<QScrollArea*>(QStringLiteral("MainScroll")));
    }

    // The settings window takes the size of its pages, but no more than the screen: its pages scroll.
    void settingsWindowFitsTheScreen()
    {
        m_fixture->start();
        auto* settings = m_fixture->station->settingsWindow();
        settings->show();
        const QRect available = settings->screen()->availableGeometry();
        QVERIFY2(settings->height() <= available.height() - 40 && settings->width() <= available.width(),
                 qPrintable(QStringLiteral("%1x%2 on %3x%4")
                                .arg(settings->width())
                                .arg(settings->height())
                                .arg(available.width())
                                .arg(available.height())));
        QVERIFY(settings->findChild<QScrollArea*>(QStringLiteral("PagesScroll")));
        settings->hide();
    }

    void toolbarShortcutsAndNames_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("hint");
        QTest::newRow("朗读") << "SB_play"
                              << "F5"
                              << "朗读 (F5)";
        QTest::newRow("停止") << "SB_stop"
                              << "F6"
                              << "停止 (F6)";
        QTest::newRow("系统设置") << "sb_delay"
                                  << "Ctrl+,"
                                  << "系统设置 (Ctrl+,)";
        QTest::newRow("生成语句") << "SB_write"
                                  << "Ctrl+G"
                                  << "生成播报语句 (Ctrl+G)";
        QTest::newRow("生日资料") << "sb_edit"
                                  << "Ctrl+E"
                                  << "编辑员工生日资料 (Ctrl+E)";
        QTest::newRow("关闭") << "SB_close"
                              << "Ctrl+Q"
                              << "关闭 (Ctrl+Q)";
    }

    void toolbarShortcutsAndNames()
    {
        QFETCH(QString, button);
        QFETCH(QString, key);
        QFETCH(QString, hint);
        m_fixture->start();
        auto* tool = m_fixture->main()->findChild<QToolButton*>(button);
        QVERIFY(tool);
        QCOMPARE(tool->shortcut(), QKeySequence::fromString(key));
        QCOMPARE(tool->toolTip(), hint);
        QCOMPARE(tool->accessibleName(), tool->text());
    }

    void mainControlsHaveAccessibleNames()
    {
        m_fixture->start();
        const auto* ui = m_fixture->form();
        for (const QWidget* widget : std::initializer_list<const QWidget*> {
                 ui->Memo1, ui->SGrid1, ui->flatComboBox1, ui->TrackBar1, ui->TrackBar2, ui->bj_v, ui->bj_v1,
                 ui->ComBox1, ui->BJListBox1, ui->TimeEdit1, ui->TimeEdit2, ui->SpinEdit1, ui->SpinEdit2, ui->bj_play,
                 ui->bj_stop, ui->SB_music }) {
            QVERIFY2(!widget->accessibleName().isEmpty(), qPrintable(widget->objectName()));
        }
    }

    void trayMenuShowsHidesAndExits()
    {
        m_fixture->start();
        auto* menu = m_fixture->main()->findChild<QMenu*>(QStringLiteral("PopupMenu6"));
        QVERIFY(menu);
        QStringList texts;
        for (QAction* action : menu->actions()) {
            texts << action->text();
        }
        QCOMPARE(texts,
                 (QStringList { QStringLiteral("显示Kelvora (&S)"), QStringLiteral("隐藏Kelvora (&H)"),
                                QStringLiteral("退出  (&C)") }));
        QAction* n5 = menu->actions().at(0);
        QAction* n18 = menu->actions().at(1);
        m_fixture->station->showMainWindow();
        n18->trigger();
        QVERIFY(!m_fixture->main()->isVisible());
        QVERIFY(n18->isChecked() && !n5->isChecked());
        n5->trigger();
        QVERIFY(m_fixture->main()->isVisible());
        QVERIFY(n5->isChecked() && !n18->isChecked());
        m_fixture->form()->TrackBar1->setValue(44);
        QSignalSpy ended(m_fixture->station.get(), &Station::finished);
        menu->actions().at(2)->trigger(); // exit goes through the close button: the values are saved
        QCOMPARE(ended.size(), 1);
        QCOMPARE(IniFile(IniFile::defaultPath()).readInteger(QStringLiteral("Speaker"), QStringLiteral("Volume"), 0),
                 44);
    }

    // riri.chm in the station's folder first, then the manual shipped in share/kelvora/help; a box
    // when nothing could open them.
    void helpOpensTheHelpFileOrTheManual_data()
    {
        QTest::addColumn<bool>("chm");
        QTest::addColumn<QList<bool>>("results"); // what the desktop answers, call by call
        QTest::addColumn<QStringList>("opened"); // "chm", "manual"
        QTest::addColumn<bool>("box");
        QTest::newRow("manual") << false << QList<bool> { true } << QStringList { QStringLiteral("manual") } << false;
        QTest::newRow("riri.chm first") << true << QList<bool> { true } << QStringList { QStringLiteral("chm") }
                                        << false;
        QTest::newRow("no program for riri.chm")
            << true << QList<bool> { false, true } << QStringList { QStringLiteral("chm"), QStringLiteral("manual") }
            << false;
        QTest::newRow("no program at all")
            << false << QList<bool> { false } << QStringList { QStringLiteral("manual") } << true;
    }

    void helpOpensTheHelpFileOrTheManual()
    {
        QFETCH(bool, chm);
        QFETCH(QList<bool>, results);
        QFETCH(QStringList, opened);
        QFETCH(bool, box);
        const QString manual = StationFolders::sharedFolder() + QStringLiteral("help/index.html");
        QVERIFY2(QFileInfo(manual).isFile(), qPrintable(manual));
        RecordingDesktop desktop;
        desktop.answers = results;
        Services services;
        services.desktop = &desktop;
        m_fixture->start(services);
        if (chm) {
            m_fixture->folder.write(QStringLiteral("riri.chm"), "help");
        }
        m_fixture->form()->N31->trigger();
        QStringList names;
        for (const QUrl& url : std::as_const(desktop.opened)) {
            names << (url.toLocalFile() == manual                                       ? QStringLiteral("manual")
                          : url.toLocalFile() == progdir() + QStringLiteral("riri.chm") ? QStringLiteral("chm")
                                                                                        : url.toString());
        }
        QCOMPARE(names, opened);
        const auto boxes = m_fixture->dialogs.takeBoxes();
        QCOMPARE(boxes.size(), box ? 1 : 0);
        if (box) {
            QVERIFY(boxes.first().text.startsWith(QStringLiteral("无法打开帮助")));
            QVERIFY2(boxes.first().text.contains(manual), qPrintable(boxes.first().text));
        }
    }

    void closeButtonSavesTheSixValuesAndEnds()
    {
        m_fixture->start();
        auto* ui = m_fixture->form();
        ui->TrackBar2->setValue(7);
        ui->TrackBar1->setValue(33);
        ui->bj_v->setValue(55);
        ui->bj_v1->setValue(5);
        ui->ComBox1->setCurrentIndex(1);
        ui->SpinEdit1->setValue(9); // the schedule is not saved on this path
        // A key written by hand while the station runs stays.
        m_fixture->folder.write(QStringLiteral("setinfo.ini"),
                                m_fixture->folder.read(QStringLiteral("setinfo.ini")) + "[Hand]\r\nKept=1\r\n");
        QSignalSpy ended(m_fixture->station.get(), &Station::finished);
        RenameWatch watch(m_fixture->folder.path());
        ui->SB_close->click();
        QCOMPARE(ended.size(), 1);
        // The six values in one rewrite of the file.
        QCOMPARE(watch.renames(QStringLiteral("setinfo.ini")), 1);
        QCOMPARE(watch.writesInPlace(QStringLiteral("setinfo.ini")), 0);
        QVERIFY(m_fixture->station->readingState().stopflag);
        const IniFile ini(IniFile::defaultPath());
        QCOMPARE(ini.readInteger(QStringLiteral("Speaker"), QStringLiteral("Rate"), 0), 7);
        QCOMPARE(ini.readInteger(QStringLiteral("Speaker"), QStringLiteral("Volume"), 0), 33);
        // No voices on this start: the stored choice is left as it was, never -1.
        QVERIFY(!ini.hasKey(QStringLiteral("Speaker"), QStringLiteral("Speaker")));
        QVERIFY(!ini.hasKey(QStringLiteral("Speaker"), QStringLiteral("VoiceName")));
        QCOMPARE(ini.readInteger(QStringLiteral("System"), QStringLiteral("default_volume"), 0), 55);
        QCOMPARE(ini.readInteger(QStringLiteral("System"), QStringLiteral("default_volume1"), 0), 5);
        QCOMPARE(ini.readInteger(QStringLiteral("System"), QStringLiteral("Playmode"), 0), 1);
        QVERIFY(!ini.hasKey(QStringLiteral("System"), QStringLiteral("Readtimes")));
        QVERIFY(ini.readBool(QStringLiteral("Hand"), QStringLiteral("Kept"), false));
    }

    void saveButtonWritesTheScheduleInOrder()
    {
        m_fixture->start();
        auto* ui = m_fixture->form();
        ui->TimeEdit1->setTime(QTime(10, 15, 0));
        ui->chk1->setChecked(true);
        ui->edt_song->setText(QStringLiteral("  /m/a.mp3 "));
        RenameWatch watch(m_fixture->folder.path());
        ui->sb_save->click();
        QVERIFY(!ui->sb_save->isEnabled());
        QCOMPARE(watch.renames(QStringLiteral("setinfo.ini")), 1); // twenty keys, one rewrite
        const QByteArray expected = "[System]\r\nNext_month=1\r\nReadtimes=2\r\nIntervaltime=60\r\nmp3file=/m/a.mp3\r\n"
                                    "playtime=10:15:00\r\nCheckBox1=1\r\nCheckBox2=1\r\nCheckBox3=1\r\nCheckBox4=1\r\n"
                                    "CheckBox5=1\r\nCheckBox6=1\r\nCheckBox7=1\r\nplaytime1=10:15:00\r\n"
                                    "playtime2=14:00:00\r\nDays=90\r\nShowdays=1\r\nRead_add1=0\r\nRead_add2=0\r\n"
                                    "Read_add3=0\r\nRollover=1\r\n";
        QCOMPARE(m_fixture->folder.read(QStringLiteral("setinfo.ini")), expected);
        ui->SpinEdit4->setValue(2);
        QVERIFY(ui->sb_save->isEnabled());
    }

    // The schedule save on a full disk: the box names the file, which keeps every byte (none of the
    // panel's keys), and the save button stays on for another try.
    void refusedScheduleSaveWritesNothing()
    {
        FullDisk disk(8 * 1024 * 1024);
        if (!disk.available()) {
            KELVORA_SKIP("a tmpfs cannot be mounted here (not root?)");
        }
        setProgdir(disk.path());
        TDM::createDatabase(disk.file(QStringLiteral("draft.dat")));
        m_fixture->start();
        auto* ui = m_fixture->form();
        const QByteArray before = readFile(disk.file(QStringLiteral("setinfo.ini")));
        QCOMPARE(before, QByteArray("[System]\r\nNext_month=1\r\n"));
        disk.fill();
        ui->SpinEdit1->setValue(7);
        ui->chk1->setChecked(true);
        QVERIFY(ui->sb_save->isEnabled());
        ui->sb_save->click();
        const QStringList boxes = m_fixture->dialogs.takeTexts();
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(
            boxes.first().startsWith(QStringLiteral("无法写入设置文件 ") + disk.file(QStringLiteral("setinfo.ini"))),
            qPrintable(boxes.first()));
        QCOMPARE(readFile(disk.file(QStringLiteral("setinfo.ini"))), before);
        QVERIFY(ui->sb_save->isEnabled());
        disk.release();
        ui->sb_save->click();
        QVERIFY(!ui->sb_save->isEnabled());
        QCOMPARE(IniFile(IniFile::defaultPath()).readInteger(QStringLiteral("System"), QStringLiteral("Readtimes"), 0),
                 7);
        m_fixture->station.reset();
        setProgdir(m_fixture->folder.path());
    }

    // A range whose end is before its start never holds: the save refuses it, writes nothing of the
    // panel and shows the stored range again.
    void aRangeEndingBeforeItStartsIsNotSaved_data()
    {
        QTest::addColumn<QTime>("from");
        QTest::addColumn<QTime>("to");
        QTest::addColumn<bool>("saved");
        QTest::newRow("crosses midnight") << QTime(22, 0) << QTime(6, 0) << false;
        QTest::newRow("a second short") << QTime(10, 0, 1) << QTime(10, 0) << false;
        QTest::newRow("one second long") << QTime(10, 0) << QTime(10, 0) << true;
        QTest::newRow("ordinary") << QTime(8, 30) << QTime(17, 0) << true;
    }
    void aRangeEndingBeforeItStartsIsNotSaved()
    {
        QFETCH(QTime, from);
        QFETCH(QTime, to);
        QFETCH(bool, saved);
        m_fixture->folder.write(QStringLiteral("setinfo.ini"),
                                "[System]\r\nplaytime1=09:30:00\r\nplaytime2=15:00:00\r\nReadtimes=3\r\n");
        m_fixture->start();
        auto* ui = m_fixture->form();
        const QByteArray before = m_fixture->folder.read(QStringLiteral("setinfo.ini"));
        ui->SpinEdit1->setValue(5);
        ui->TimeEdit1->setTime(from);
        ui->TimeEdit2->setTime(to);
        ui->sb_save->click();
        const IniFile ini(IniFile::defaultPath());
        if (saved) {
            QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList());
            QCOMPARE(ini.readString(QStringLiteral("System"), QStringLiteral("playtime2"), QString()),
                     to.toString(QStringLiteral("HH:mm:ss")));
            QVERIFY(!ui->sb_save->isEnabled());
            return;
        }
        QCOMPARE(m_fixture->dialogs.takeTexts(),
                 QStringList {
                     QStringLiteral("时间范围错误：结束时间 %1 早于开始时间 %2，这样的时间范围永远不会成立。"
                                    "设置未保存，时间范围已恢复为 09:30:00 到 15:00:00。")
                         .arg(to.toString(QStringLiteral("HH:mm:ss")), from.toString(QStringLiteral("HH:mm:ss"))) });
        QCOMPARE(m_fixture->folder.read(QStringLiteral("setinfo.ini")), before);
        QCOMPARE(ui->TimeEdit1->time(), QTime(9, 30));
        QCOMPARE(ui->TimeEdit2->time(), QTime(15, 0));
        // The other edits are kept for a save with a sound range.
        QCOMPARE(ui->SpinEdit1->value(), 5);
        QVERIFY(ui->sb_save->isEnabled());
        ui->sb_save->click();
        const IniFile after(IniFile::defaultPath());
        QCOMPARE(after.readInteger(QStringLiteral("System"), QStringLiteral("Readtimes"), 0), 5);
    }

    // One stored by an older version is said once at start-up.
    void aStoredRangeThatNeverHoldsIsLoggedAtStartUp()
    {
        m_fixture->folder.write(QStringLiteral("setinfo.ini"),
                                "[System]\r\nplaytime1=22:00:00\r\nplaytime2=06:00:00\r\n");
        EventLog::open(m_fixture->folder.file(QStringLiteral("kelvora.log")), false, &m_fixture->clock);
        m_fixture->start();
        m_fixture->clock.set(QDateTime(QDate(2024, 3, 5), QTime(23, 0)));
        m_fixture->main()->schedulePanel()->timer_autoplayTimer();
        m_fixture->station.reset();
        EventLog::close();
        const QString log = QString::fromUtf8(m_fixture->folder.read(QStringLiteral("kelvora.log")));
        QCOMPARE(log.count(QStringLiteral("the stored broadcast range 22:00:00 to 06:00:00 ends before it starts: "
                                          "it never holds")),
                 1);
        QVERIFY(!log.contains(QStringLiteral("broadcast started")));
    }

    void refusedStartUpWriteIsShownOnceAndStartUpGoesOn()
    {
        QDir().mkpath(m_fixture->folder.file(QStringLiteral("setinfo.ini"))); // a folder in the way
        m_fixture->start();
        const QStringList texts = m_fixture->dialogs.takeTexts();
        QCOMPARE(texts.size(), 1);
        QVERIFY(texts.first().contains(QStringLiteral("setinfo.ini")));
        QCOMPARE(m_fixture->form()->TrackBar2->value(), 2);
    }

    // A play mode outside the list plays in order and is saved as such, never as -1.
    void playModeOutsideTheListFallsBack_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("logged");
        QTest::newRow("7") << QByteArray("7") << 0 << true;
        QTest::newRow("-1") << QByteArray("-1") << 0 << true;
        QTest::newRow("text") << QByteArray("abc") << 0 << false; // not a number: the default
        QTest::newRow("random") << QByteArray("1") << 1 << false;
    }

    void playModeOutsideTheListFallsBack()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, index);
        QFETCH(bool, logged);
        m_fixture->folder.write(QStringLiteral("setinfo.ini"), "[System]\r\nPlaymode=" + value + "\r\n");
        EventLog::open(m_fixture->folder.file(QStringLiteral("kelvora.log")), false);
        m_fixture->start();
        QCOMPARE(m_fixture->form()->ComBox1->currentIndex(), index);
        QCOMPARE(QString::fromUtf8(m_fixture->folder.read(QStringLiteral("kelvora.log")))
                     .contains(QStringLiteral("Playmode=%1 is not a play mode; 0 (顺序播放) instead")
                                   .arg(QString::fromLatin1(value))),
                 logged);
        m_fixture->main()->SB_closeClick();
        EventLog::close();
        QCOMPARE(IniFile(IniFile::defaultPath()).readInteger(QStringLiteral("System"), QStringLiteral("Playmode"), -99),
                 index);
    }

    void damagedSettingsFileTakesDefaults()
    {
        QByteArray garbage("\xff\xfe\x00\x01[System\r\nRate=\x80\x81\r\n[Speaker]\r\nRate=zz\r\nVolume=");
        garbage += QByteArray(1 << 20, '9');
        m_fixture->folder.write(QStringLiteral("setinfo.ini"), garbage);
        m_fixture->start();
        QCOMPARE(m_fixture->form()->TrackBar2->value(), 2);
        QCOMPARE(m_fixture->form()->TrackBar1->value(), 100);
    }

    void sessionEndPowersOffOnlyWhenAllowed_data()
    {
        QTest::addColumn<bool>("allowed");
        QTest::newRow("right refused") << false;
        QTest::newRow("right granted") << true;
    }

    void sessionEndPowersOffOnlyWhenAllowed()
    {
        QFETCH(bool, allowed);
        RecordingPowerControl power;
        power.allowed = allowed;
        Services services;
        services.power = &power;
        m_fixture->start(services);
        QSignalSpy ended(m_fixture->station.get(), &Station::finished);
        QMetaObject::invokeMethod(m_fixture->station.get(), "commitDataRequested");
        QCOMPARE(ended.size(), 1);
        QCOMPARE(power.powerOffs, allowed ? 1 : 0);
        // Nothing was saved on this path.
        QVERIFY(!IniFile(IniFile::defaultPath()).hasKey(QStringLiteral("Speaker"), QStringLiteral("Rate")));
    }

    void qtsOwnTextsAreChinese()
    {
        // The question boxes' buttons and the file dialogs stand beside Chinese texts.
        QVERIFY(KelvoraApplication::installQtTranslation(QCoreApplication::instance()));
        QMessageBox box(QMessageBox::Question, QStringLiteral("Kelvora"), QStringLiteral("确信要删除该记录?"),
                        QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.button(QMessageBox::Yes)->text(), QStringLiteral("是(&Y)"));
        QCOMPARE(box.button(QMessageBox::No)->text(), QStringLiteral("否(&N)"));
    }

    void aboutShowsMemory()
    {
        QCOMPARE(Tf_about::formatKilobytes(2097152), QStringLiteral("2,097,152 KB"));
        m_fixture->start();
        const auto* about = m_fixture->station->aboutWindow();
        QVERIFY(about->findChild<QLabel*>(QStringLiteral("Label_memory"))->text().endsWith(QStringLiteral(" KB")));
        QVERIFY(about->findChild<QLabel*>(QStringLiteral("Label_load"))->text().endsWith(QStringLiteral(" %")));
    }

    void voiceInformationOnEveryShowAndEveryMenuClick()
    {
        m_fixture->start();
        Tf_speaker* main = m_fixture->main();
        const auto shown = [main] {
            int n = 0;
            for (const Tf_information* window : main->findChildren<Tf_information*>()) {
                n += window->isVisible() ? 1 : 0;
            }
            return n;
        };
        const int before = shown();
        // Each showing of the main window brings the notes while Tts_information is false.
        main->show();
        QCOMPARE(shown(), before + 1);
        main->hide();
        main->show();
        QCOMPARE(shown(), before + 2);
        // Two clicks on "语音信息" give two windows.
        main->form()->N33->trigger();
        main->form()->N33->trigger();
        QCOMPARE(shown(), before + 4);
        for (Tf_information* window : main->findChildren<Tf_information*>()) {
            window->close();
        }
        IniFile(IniFile::defaultPath()).writeBool(QStringLiteral("System"), QStringLiteral("Tts_information"), true);
        main->hide();
        main->show();
        QCOMPARE(shown(), 0);
        main->hide();
    }

    void missingDatabaseWarnsOnceAndEnds()
    {
        QFile::remove(m_fixture->folder.file(QStringLiteral("draft.dat")));
        m_fixture->station = std::make_unique<Station>(m_fixture->services());
        QVERIFY(!m_fixture->station->start());
        const auto boxes = m_fixture->dialogs.takeBoxes();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.first().text, QStringLiteral("数据连接失败!"));
        // What a person can act on: which file, and why.
        QCOMPARE(boxes.first().details, TDM::databasePath() + QStringLiteral(": missing"));
        QVERIFY(!m_fixture->main());
        QVERIFY(!m_fixture->folder.exists(QStringLiteral("setinfo.ini")));
        // The failed opening created no empty database either.
        QVERIFY(!m_fixture->folder.exists(QStringLiteral("draft.dat")));
    }

    void dataModuleIsSharedWithTheMainWindow()
    {
        m_fixture->start();
        QVERIFY(m_fixture->station->dataModule());
        QCOMPARE(m_fixture->main()->dataModule(), m_fixture->station->dataModule());
        QVERIFY(m_fixture->station->dataModule()->Q_birthday2());
    }

    void birthdayReportGoesToTheSpreadsheet()
    {
        RecordingSpreadsheet spreadsheet;
        Services services;
        services.spreadsheet = &spreadsheet;
        m_fixture->start(services);
        auto* grid = m_fixture->form()->SGrid1;
        auto* O1 = m_fixture->main()->birthdayList()->popupMenu()->findChild<QAction*>(QStringLiteral("O1"));
        QVERIFY(O1);
        O1->trigger();
        const int rows = grid->rowCount() + 1;
        QVERIFY(spreadsheet.calls.contains(QStringLiteral("cells(1,1).value=员工生日资料表")));
        QVERIFY(spreadsheet.calls.contains(QStringLiteral("cells(2,1).value=姓名")));
        QVERIFY(spreadsheet.calls.contains(QStringLiteral("cells(2,6).value=年龄"))); // the hidden column too
        QVERIFY(spreadsheet.calls.contains(QStringLiteral("range(cells(2,1),cells(%1,6)).font.size=9").arg(rows + 1)));
        QCOMPARE(spreadsheet.calls.last(), QStringLiteral("release"));
    }

private:
    std::unique_ptr<StationFixture> m_fixture;
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
