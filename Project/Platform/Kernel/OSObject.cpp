#include "OSObject.h"

const OSMetaClass OSObject::gMetaClass{"OSObject", nullptr,
                                       []() -> OSObject* { return new OSObject; }};

const OSMetaClass* OSObject::getMetaClass() const {
    return &gMetaClass;
}

void OSObject::retain() const {
    fRetainCount.fetch_add(1, std::memory_order_relaxed);
}

void OSObject::release() const {
    if (fRetainCount.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        delete this;
    }
}

int OSObject::getRetainCount() const {
    return fRetainCount.load(std::memory_order_relaxed);
}
