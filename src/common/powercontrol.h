#pragma once

// Seam for switching the machine off at the end of the desktop session.
class PowerControl
{
public:
    virtual ~PowerControl() = default;
    // True only when the system grants this user the right to power off without asking.
    virtual bool canPowerOff() = 0;
    virtual void powerOff() = 0;
};
