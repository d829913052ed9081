#pragma once

#include "common/services.h"
#include "fakeclock.h"
#include "recordingdialogs.h"
#include "testfolder.h"

#include <memory>

class Station;
class TDM;
class Tf_speaker;
namespace Ui {
class Tf_speaker;
}

// Services made of a test's own fakes.
Services fakeServices(Clock& clock, Dialogs& dialogs);

// One test's world: a fresh program folder (draft.dat as asked), a fake clock, recorded dialogs; every box must be
// taken.
class DataFixture
{
public:
    enum Database { NoDatabase, CreatedDatabase, OpenDatabase };

    explicit DataFixture(const QDateTime& start, Database database = OpenDatabase);
    virtual ~DataFixture();

    // The data module opened on draft.dat (OpenDatabase only).
    TDM& data() const { return *m_data; }
    // The fixture's clock and dialogs.
    Services services();

    TestFolder folder;
    FakeClock clock;
    RecordingDialogs dialogs;

private:
    std::unique_ptr<TDM> m_data;
};

// A DataFixture with draft.dat created, in which start() runs a Station; the station ends first.
class StationFixture : public DataFixture
{
public:
    explicit StationFixture(const QDateTime& start);
    ~StationFixture() override;

    // Starts a station on these services, with the fixture's clock and dialogs where none are given
    // (fails the test when it does not start).
    void start(const Services& services = {});
    Tf_speaker* main() const;
    Ui::Tf_speaker* form() const;

    std::unique_ptr<Station> station;
};
