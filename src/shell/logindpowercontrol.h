#pragma once

#include "common/powercontrol.h"

// Switches the machine off through systemd-logind over D-Bus, only where logind grants the right
// without asking (CanPowerOff answers "yes").
class LogindPowerControl final : public PowerControl
{
public:
    bool canPowerOff() override;
    void powerOff() override;
};
