#pragma once

#include "common/powercontrol.h"

// Records power-off requests; never touches the machine.
class RecordingPowerControl final : public PowerControl
{
public:
    bool canPowerOff() override { return allowed; }
    void powerOff() override { ++powerOffs; }

    bool allowed = true;
    int powerOffs = 0;
};
