#pragma once

#include "capture/XPacketListener.h"

// A listener kind kept for the exported interface; the engine never creates one.
class XAllListener : public XPacketListener {
public:
    explicit XAllListener(unsigned long) {}
    bool getStatus() override { return true; }
    void stop() override {}
    // Does nothing: this kind has no thread of its own.
    void start() {}
};
