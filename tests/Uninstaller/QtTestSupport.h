#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <memory>
#include <utility>

// One QApplication for the whole test program, made on first use.
inline QApplication& TestApplication() {
    static int argc = 1;
    static char name[] = "UninstallerTests";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

// Runs the event loop until nothing queued is left to deliver.
inline void DrainEvents() {
    for (int round = 0; round < 4; ++round) QApplication::processEvents();
}

// Runs the event loop until done() holds or the time is up; returns done().
template <typename Condition>
bool SpinUntil(Condition done, int milliseconds = 10000) {
    QDeadlineTimer deadline(milliseconds);
    while (!done() && !deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return done();
}

// Installs a fresh backend of one platform facility for the scope and puts the
// previous one back afterwards.
template <typename Backend, typename Base, std::unique_ptr<Base> (*Install)(std::unique_ptr<Base>)>
class ScopedBackend {
public:
    template <typename... Arguments>
    explicit ScopedBackend(Arguments&&... arguments) {
        auto backend = std::make_unique<Backend>(std::forward<Arguments>(arguments)...);
        fBackend = backend.get();
        fPrevious = Install(std::move(backend));
    }
    ~ScopedBackend() { Install(std::move(fPrevious)); }
    ScopedBackend(const ScopedBackend&) = delete;
    ScopedBackend& operator=(const ScopedBackend&) = delete;

    Backend* operator->() const { return fBackend; }
    Backend& operator*() const { return *fBackend; }

private:
    Backend* fBackend;
    std::unique_ptr<Base> fPrevious;
};
