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

    int get() const { return descriptor; }

private:
    int descriptor;
};

} // namespace Vantrel

#endif
