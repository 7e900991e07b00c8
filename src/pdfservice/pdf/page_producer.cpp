#include "pdf/page_producer.h"

#include "pdf/processor_count.h"

#include <algorithm>

PageProducer::PageProducer(int pages, int threads, Produce produce)
    : m_pages(pages), m_threads(threads), m_window(threads + 1), m_produce(std::move(produce)) {
    try {
        for (int worker = 0; worker < threads; ++worker) {
            m_workers.emplace_back([this, worker] { Work(worker); });
        }
    } catch (...) {
        // Fewer workers than planned (or none: the writer's thread produces every page) still
        // produce every page.
    }
}

PageProducer::~PageProducer() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    for (std::thread& worker : m_workers) {
        worker.join();
    }
}

int PageProducer::ThreadsFor(int pages) {
    if (pages < 2) {
        return 0;
    }
    // The processors this process may use, not the machine's: under a scheduler's job the
    // others belong to other jobs.
    return std::clamp(ProcessorCount::ForThisProcess(), 1, 4);
}

void PageProducer::Work(int worker) {
    for (;;) {
        int index = 0;
        PageData data;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [this] {
                return m_stop || (m_started < m_pages && m_started < m_next + m_window);
            });
            if (m_stop) {
                return;
            }
            index = m_started++;
            data = Fresh();
        }
        try {
            m_produce(index, worker, data);
        } catch (...) {
            data.failure = std::current_exception();
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done[index] = std::move(data);
        }
        m_changed.notify_all();
    }
}

PageData PageProducer::Fresh() {
    if (m_free.empty()) {
        return {};
    }
    PageData data = std::move(m_free.back());
    m_free.pop_back();
    return data;
}

void PageProducer::Recycle(PageData data) {
    data.layout = ImageLayout{};
    data.image.clear();
    data.mask.clear();
    data.icc.clear();
    data.profileKey.clear();
    data.ocr = OcrPage{};
    data.ocrNote.clear();
    data.failure = nullptr;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_free.size() < static_cast<size_t>(m_window + m_threads)) {
        m_free.push_back(std::move(data));
    }
}

PageData PageProducer::Take(int index) {
    PageData data;
    bool own = true;
    if (!m_workers.empty()) {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (index == m_next) {
            m_changed.wait(lock, [&] { return m_done.count(index) != 0; });
            data = std::move(m_done[index]);
            m_done.erase(index);
            ++m_next;
            own = false;
        }
    }
    if (!m_workers.empty() && !own) {
        m_changed.notify_all(); // the window moved on
    }
    if (own) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            data = Fresh();
        }
        m_produce(index, m_threads, data);
    }
    if (data.failure) {
        std::rethrow_exception(data.failure);
    }
    return data;
}
