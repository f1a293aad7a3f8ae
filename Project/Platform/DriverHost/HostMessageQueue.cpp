#include "HostMessageQueue.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <system_error>

namespace platform {

HostMessageQueue::HostMessageQueue() : fEventFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (fEventFd < 0) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
}

HostMessageQueue::~HostMessageQueue() {
    close(fEventFd);
}

bool HostMessageQueue::Push(const HostMessage& message) {
    const std::size_t tail = fTail.load(std::memory_order_relaxed);
    if (tail - fHead.load(std::memory_order_acquire) == kCapacity) {
        fDropped.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    fRing[tail % kCapacity] = message;
    fTail.store(tail + 1, std::memory_order_release);
    const std::uint64_t one = 1;
    // Only fails when the counter is saturated, which still means readable.
    [[maybe_unused]] ssize_t written = write(fEventFd, &one, sizeof one);
    return true;
}

bool HostMessageQueue::Pop(HostMessage& message) {
    const std::size_t head = fHead.load(std::memory_order_relaxed);
    if (head == fTail.load(std::memory_order_acquire)) {
        std::uint64_t count = 0;
        [[maybe_unused]] ssize_t drained = read(fEventFd, &count, sizeof count);
        // A push between the check and the read left its message behind.
        if (head == fTail.load(std::memory_order_acquire)) {
            return false;
        }
    }
    message = fRing[head % kCapacity];
    fHead.store(head + 1, std::memory_order_release);
    return true;
}

}  // namespace platform
