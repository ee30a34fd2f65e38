// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <list>

namespace __lumo {

template <class T> class EventListenerInterface {
public:
    virtual void eventOccurred(T& value) = 0;

protected:
    ~EventListenerInterface() = default;
};

// Synchronous event source; values travel by reference, so a listener may change them; listeners
// are not owned and must outlive their registration.
template <class T> class EventCaller {
public:
    virtual ~EventCaller() { listeners.clear(); }

    virtual void addListener(EventListenerInterface<T>* listener) { listeners.push_back(listener); }
    virtual void removeListener(EventListenerInterface<T>* listener) { listeners.remove(listener); }
    virtual void removeAllListeners() { listeners.clear(); }
    virtual void callListeners(T& value) {
        if (!enabled)
            return;
        for (auto* listener : listeners)
            listener->eventOccurred(value);
    }
    virtual void fireEvent(T& value) { callListeners(value); }

protected:
    std::list<EventListenerInterface<T>*> listeners;
    bool enabled = true;
};

} // namespace __lumo
