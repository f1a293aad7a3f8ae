#pragma once

#include <chrono>
#include <functional>
#include <thread>

#include "BusConnection.h"
#include "PrivateBus.h"
#include "RunLoop.h"

// Lets the connection and the (simulated) run loop work until `done`, bounded.
inline bool Serve(platform::BusConnection& connection, const std::function<bool()>& done) {
    platform::CFRunLoopGetCurrent()->AddSource(connection.Source(),
                                               platform::kCFRunLoopCommonModes);
    return WaitUntil(done, [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        connection.Dispatch();
        platform::CFRunLoopGetCurrent()->RunUntilIdle();
    });
}
