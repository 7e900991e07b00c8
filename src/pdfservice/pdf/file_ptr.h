#pragma once

#include <cstdio>
#include <memory>

// An owned C stream, closed when it goes out of scope. Header only, in the PDF service, which
// links nothing of the application; the application's modules use it too. Code that must
// know whether the close succeeded (a written file) releases the stream and closes it itself.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;
