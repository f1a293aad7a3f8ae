#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace platform {

// What the event side tells the bus side, in order: an instance appeared, it
// sent its clients a message, it went away.
struct HostMessage {
    enum class Kind : std::uint8_t { Added, Message, Removed };
    Kind kind = Kind::Message;
    std::uint64_t registryId = 0;
    std::uint32_t type = 0;
    std::uint64_t argument = 0;
};

// A bounded single-producer, single-consumer queue with an eventfd that
// becomes readable when something was pushed. Push never blocks and never
// allocates (the event path calls it); a full queue drops the message and
// counts it.
class HostMessageQueue {
public:
    static constexpr std::size_t kCapacity = 1024;

    HostMessageQueue();
    ~HostMessageQueue();
    HostMessageQueue(const HostMessageQueue&) = delete;
    HostMessageQueue& operator=(const HostMessageQueue&) = delete;

    // Producer side.
    bool Push(const HostMessage& message);

    // Consumer side: the descriptor to watch, and taking messages. Pop clears
    // the descriptor's readiness once the queue is seen empty.
    int Descriptor() const { return fEventFd; }
    bool Pop(HostMessage& message);
    // Messages dropped because the queue was full, since the last call.
    std::uint64_t TakeDroppedCount() { return fDropped.exchange(0, std::memory_order_relaxed); }

private:
    std::array<HostMessage, kCapacity> fRing{};
    alignas(64) std::atomic<std::size_t> fHead{0};  // next to pop
    alignas(64) std::atomic<std::size_t> fTail{0};  // next to push
    std::atomic<std::uint64_t> fDropped{0};
    int fEventFd = -1;
};

}  // namespace platform
