#pragma once

#include "pdf/image_layout.h"
#include "pdf/ocr_engine.h"

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The data of one page, produced ahead of the writer: its layout (as its file gives it now),
// the image stream's data and, when asked for, its soft mask's data and its colour profile
// (with the profile's key), and what OCR read on it (or why it could not). A failure is kept
// for the writer.
struct PageData {
    ImageLayout layout;
    std::string image;
    std::string mask;
    std::string icc;
    std::string profileKey;
    OcrPage ocr;
    std::string ocrNote;
    std::exception_ptr failure;
};

// Produces the data of pages on worker threads, a bounded number of pages ahead of the one
// the writer takes next, so that the next images are decoded and compressed while the
// current one is written: both cores work, and memory holds only a few pages.
class PageProducer {
public:
    // Fills `data` for page `index`. `worker` tells the producing thread (0 to threads - 1, or
    // `threads` for the writer's own thread), so that each may keep state of its own.
    using Produce = std::function<void(int index, int worker, PageData& data)>;

    // `threads` 0 produces every page on the writer's thread when it is taken.
    PageProducer(int pages, int threads, Produce produce);
    ~PageProducer();
    PageProducer(const PageProducer&) = delete;
    PageProducer& operator=(const PageProducer&) = delete;

    // The data of page `index`, waiting for it when it is being produced; a page taken out
    // of order, or twice, is produced on the calling thread. Rethrows the page's failure.
    PageData Take(int index);
    // Gives back the buffers of a page that has been written, for the pages to come: memory
    // that is used again costs no page faults.
    void Recycle(PageData data);

    // The thread count that suits this machine for `pages` pages.
    static int ThreadsFor(int pages);

private:
    void Work(int worker);
    PageData Fresh(); // with m_mutex held

    const int m_pages;
    const int m_threads;
    const int m_window;
    Produce m_produce;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_next = 0;    // the next page the writer takes
    int m_started = 0; // the pages handed to workers
    bool m_stop = false;
    std::map<int, PageData> m_done;
    std::vector<PageData> m_free;
    std::vector<std::thread> m_workers;
};
