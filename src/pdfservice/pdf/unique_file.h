#pragma once

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <string>
#include <unistd.h>

// New files with unpredictable names. Header only, in the PDF service, which links nothing of
// the application; the application's platform module uses it too.
class UniqueFile {
public:
    // Creates a new file named `prefix` + six random characters and returns its descriptor
    // (-1 on failure). Unlike mkstemp's, the file gets the permissions the user's umask gives
    // new files, as the finished document keeps them.
    static int Create(const std::string& prefix, std::string& path) {
        static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            path = prefix;
            for (int i = 0; i < 6; ++i) {
                path += kChars[random() % (sizeof kChars - 1)];
            }
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0 || errno != EEXIST) {
                return fd;
            }
        }
        return -1;
    }
};
