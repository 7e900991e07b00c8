#pragma once

#include <wx/event.h>

#include <memory>
#include <mutex>

// The line between worker threads and the window (or reporter) that receives their events.
// The receiver may go away at any time: it closes the channel, after which events are
// dropped instead of delivered. Workers hold the channel by a shared pointer, so that one that
// outlives its receiver still has a channel to post to.
class EventChannel {
public:
    EventChannel(wxEvtHandler* target, int id) : m_target(target), m_id(id) {}

    // Hands the event, with the channel's id, to the receiver's queue, or deletes it when the
    // channel is closed. Takes the event over; true when it was delivered.
    bool Post(wxEvent* event);
    // Stops the delivery for good.
    void Close();
    bool IsOpen() const;
    int GetId() const { return m_id; }
    // The receiver, for comparison only: it may be gone once the channel is closed.
    bool Delivers(const wxEvtHandler* handler) const;

private:
    mutable std::mutex m_mutex;
    wxEvtHandler* m_target;
    const int m_id;
};
