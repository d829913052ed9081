#include "common/inifile.h"
#include "common/stationsettings.h"
#include "shell/windowsettings.h"
#include "testfolder.h"

#include <QTest>

// Where the main window goes, whatever setinfo.ini remembers and whatever the screen is now.
class TestWindowSettings final : public QObject
{
    Q_OBJECT

private slots:
    void fitted_data()
    {
        QTest::addColumn<QRect>("stored");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("expected");
        const QRect fullHd(0, 0, 1920, 1050);
        // 1920x1080 at 200 %: 960x540 device-independent pixels, less a panel.
        const QRect doubled(0, 0, 960, 510);
        QTest::newRow("nothing stored: preferred, centred") << QRect() << fullHd << QRect(370, 165, 1180, 720);
        QTest::newRow("nothing stored, small screen: the screen") << QRect() << doubled << QRect(0, 0, 960, 510);
        QTest::newRow("stored, fits") << QRect(100, 50, 900, 600) << fullHd << QRect(100, 50, 900, 600);
        QTest::newRow("stored larger than the screen")
            << QRect(100, 50, 1800, 1000) << doubled << QRect(0, 0, 960, 510);
        QTest::newRow("off the right and bottom")
            << QRect(1800, 1000, 800, 600) << fullHd << QRect(1120, 450, 800, 600);
        QTest::newRow("on a screen that went away") << QRect(-2500, -900, 800, 600) << fullHd << QRect(0, 0, 800, 600);
        QTest::newRow("smaller than the minimum") << QRect(10, 10, 100, 80) << fullHd << QRect(10, 10, 600, 400);
        QTest::newRow("panel on the left")
            << QRect(0, 0, 800, 600) << QRect(48, 0, 1872, 1080) << QRect(48, 0, 800, 600);
    }

    void fitted()
    {
        QFETCH(QRect, stored);
        QFETCH(QRect, available);
        QFETCH(QRect, expected);
        QCOMPARE(WindowSettings::fitted(stored, QSize(1180, 720), QSize(600, 400), available), expected);
    }

    void storedInTheirOwnSection()
    {
        TestFolder folder;
        folder.write(QStringLiteral("setinfo.ini"), "[System]\r\nNext_month=1\r\n");
        IniChanges changes;
        WindowSettings::setGeometry(changes, QRect(-20, 30, 800, 600), true);
        StationSettings::set(changes, StationSettings::StartHidden, true);
        StationSettings::set(changes, StationSettings::TrayNoticeShown, true);
        IniFile(IniFile::defaultPath()).write(changes);
        QCOMPARE(folder.read(QStringLiteral("setinfo.ini")),
                 QByteArray("[System]\r\nNext_month=1\r\n[Window]\r\nLeft=-20\r\nTop=30\r\nWidth=800\r\nHeight=600\r\n"
                            "Maximized=1\r\nStartHidden=1\r\nTrayNoticeShown=1\r\n"));
        const WindowSettings read = WindowSettings::read(IniFile(IniFile::defaultPath()));
        QCOMPARE(read.geometry, QRect(-20, 30, 800, 600));
        QVERIFY(read.maximized && read.startHidden && read.trayNoticeShown);
    }

    // A size that is not a size means nothing stored.
    void nonsenseIsNotAGeometry()
    {
        TestFolder folder;
        folder.write(QStringLiteral("setinfo.ini"), "[Window]\r\nLeft=5\r\nTop=5\r\nWidth=0\r\nHeight=-3\r\n");
        QVERIFY(!WindowSettings::read(IniFile(IniFile::defaultPath())).geometry.isValid());
    }
};

QTEST_GUILESS_MAIN(TestWindowSettings)
#include "test_windowsettings.moc"
