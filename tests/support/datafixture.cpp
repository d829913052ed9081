#include "datafixture.h"

#include "calendar/calendarsql.h"
#include "data/tdm.h"
#include "shell/station.h"
#include "shell/tf_speaker.h"
#include "testdatabase.h"

#include <QTest>

DataFixture::DataFixture(const QDateTime& start, Database database)
    : clock(start)
{
    if (database == NoDatabase) {
        return;
    }
    createTestDatabase(folder);
    if (database == OpenDatabase) {
        m_data = std::make_unique<TDM>(services(), &registerCalendarFunctions);
        QVERIFY(m_data->DataModuleCreate());
    }
}

Services fakeServices(Clock& clock, Dialogs& dialogs)
{
    Services services;
    services.clock = &clock;
    services.dialogs = &dialogs;
    return services;
}

Services DataFixture::services()
{
    Services services;
    services.clock = &clock;
    services.dialogs = &dialogs;
    return services;
}

DataFixture::~DataFixture()
{
    m_data.reset();
    dialogs.verifyAllSeen();
}

StationFixture::StationFixture(const QDateTime& start)
    : DataFixture(start, CreatedDatabase)
{
}

StationFixture::~StationFixture()
{
    station.reset();
}

void StationFixture::start(const Services& services)
{
    Services given = services;
    if (!given.clock) {
        given.clock = &clock;
    }
    if (!given.dialogs) {
        given.dialogs = &dialogs;
    }
    station = std::make_unique<Station>(given);
    QVERIFY(station->start());
}

Tf_speaker* StationFixture::main() const
{
    return station->mainWindow();
}

Ui::Tf_speaker* StationFixture::form() const
{
    return station->mainWindow()->form();
}
