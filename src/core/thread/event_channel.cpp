#include "thread/event_channel.h"

bool EventChannel::Post(wxEvent* event) {
    std::unique_ptr<wxEvent> owned(event);
    std::lock_guard lock(m_mutex);
    if (m_target == nullptr) {
        return false;
    }
    owned->SetId(m_id);
    m_target->QueueEvent(owned.release());
    return true;
}

void EventChannel::Close() {
    std::lock_guard lock(m_mutex);
    m_target = nullptr;
}

bool EventChannel::IsOpen() const {
    std::lock_guard lock(m_mutex);
    return m_target != nullptr;
}

bool EventChannel::Delivers(const wxEvtHandler* handler) const {
    std::lock_guard lock(m_mutex);
    return m_target != nullptr && m_target == handler;
}
