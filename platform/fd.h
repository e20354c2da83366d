#pragma once

#include <unistd.h>

// Owns a file descriptor and closes it when it goes out of scope.
class Fd
{
public:
    explicit Fd(int fd = -1) : fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return fd; }
    void reset(int replacement = -1)
    {
        if (fd >= 0)
            close(fd);
        fd = replacement;
    }

private:
    int fd;
};
