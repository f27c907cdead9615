#ifndef VANTREL_COMMON_DESCRIPTOR_H
#define VANTREL_COMMON_DESCRIPTOR_H

#include <unistd.h>

namespace Vantrel {

// Owns a file descriptor (or -1) and closes it when it goes.
class Descriptor {
public:
    explicit Descriptor(int descriptor) : descriptor(descriptor) {}
    ~Descriptor() {
        if (descriptor >= 0)
            close(descriptor);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&& other) noexcept : descriptor(other.release()) {}
    Descriptor& operator=(Descriptor&&) = delete;

    int get() const { return descriptor; }
    // Gives the descriptor up: it is no longer closed here.
    int release() {
        const int given = descriptor;
        descriptor = -1;
        return given;
    }

private:
    int descriptor;
};

} // namespace Vantrel

#endif
