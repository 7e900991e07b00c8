#pragma once

#include "domain/domain_convert.h"

#include <wx/event.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Collects the events a conversion object queues, from any thread.
class EventCollector : public wxEvtHandler {
public:
    struct Cell {
        int row;
        int column;
        int state;
        int percent;
        std::string reason;
        ConvertFailure::Kind kind;
    };

    void QueueEvent(wxEvent* event) override {
        std::lock_guard lock(m_mutex);
        m_events.emplace_back(event);
    }

    std::vector<Cell> Cells() {
        std::lock_guard lock(m_mutex);
        std::vector<Cell> cells;
        for (const auto& event : m_events) {
            if (event->GetEventType() == EVT_CELL_RENDER) {
                const auto* cell = static_cast<DhGridCellRenderCommandEvent*>(event.get());
                cells.push_back({cell->GetRow(), cell->GetColumn(), cell->GetState(),
                                 cell->GetPercent(), std::string(cell->GetString().utf8_str()),
                                 cell->GetFailureKind()});
            }
        }
        return cells;
    }

    // The files-loaded events: their int, and the rows they carry (taken over).
    std::vector<std::pair<int, std::unique_ptr<FileRowArray>>> TakeLoaded() {
        std::lock_guard lock(m_mutex);
        std::vector<std::pair<int, std::unique_ptr<FileRowArray>>> loaded;
        for (const auto& event : m_events) {
            if (event->GetEventType() == EVT_FILES_LOADED) {
                auto* thread = static_cast<wxThreadEvent*>(event.get());
                loaded.emplace_back(thread->GetInt(), std::unique_ptr<FileRowArray>(
                                                          thread->GetPayload<FileRowArray*>()));
            }
        }
        return loaded;
    }

    std::vector<int> Finished() {
        std::lock_guard lock(m_mutex);
        std::vector<int> counts;
        for (const auto& event : m_events) {
            if (event->GetEventType() == EVT_CONVERSION_FINISHED) {
                counts.push_back(static_cast<wxThreadEvent*>(event.get())->GetInt());
            }
        }
        return counts;
    }

    size_t Count() {
        std::lock_guard lock(m_mutex);
        return m_events.size();
    }

private:
    std::mutex m_mutex;
    std::vector<std::unique_ptr<wxEvent>> m_events;
};
