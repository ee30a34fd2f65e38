// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Exception.h"
#include "Sleeper.h"

#include <string>

namespace __lumo {

class MutexBase {
public:
    virtual void lock(unsigned long& stepMilliseconds, unsigned long& timeoutMilliseconds,
                      const std::string& ownerText) = 0;
    virtual bool tryLock(const std::string& ownerText) = 0;
    virtual void unlock() = 0;

protected:
    ~MutexBase() = default;
};

extern const std::string unknownOwner;  // "unknown"
extern const std::string unlockedOwner; // "unlocked"

// A polled flag, not an atomic lock: it guards against re-entry on one thread and reports
// a holder that does not let go within the timeout.
template <class TimeT> class MutexTemplate : public MutexBase {
public:
    explicit MutexTemplate(Sleeper& sleeper = systemSleeper()) : sleeper_(sleeper) {}

    void lock(TimeT& stepMilliseconds, TimeT& timeoutMilliseconds,
              const std::string& ownerText) override {
        TimeT waited = 0;
        while (locked && waited < timeoutMilliseconds) {
            sleeper_.sleepMilliseconds(stepMilliseconds);
            waited += stepMilliseconds;
        }
        if (locked)
            throw ObjectLockedException("object locked by " + owner);
        locked = true;
        owner = ownerText;
    }

    bool tryLock(const std::string& ownerText) override {
        if (locked)
            return false;
        TimeT none = 0;
        lock(none, none, ownerText);
        return true;
    }

    void unlock() override {
        owner = unlockedOwner;
        locked = false;
    }

    const std::string& getOwner() const { return owner; }
    bool isLocked() const { return locked; }

private:
    Sleeper& sleeper_;
    std::string owner = unlockedOwner;
    bool locked = false;
};

} // namespace __lumo
