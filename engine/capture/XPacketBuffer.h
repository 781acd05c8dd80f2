#pragma once

// One queue slot: a 1024-byte block, the number of bytes stored in it and the direction of
// the datagram (0 received, 1 sent). Used by one thread at a time (its queue keeps producer
// and consumer apart).
class XPacketBuffer {
public:
    static constexpr int kSize = 1024;

    XPacketBuffer();
    ~XPacketBuffer();
    XPacketBuffer(const XPacketBuffer&) = delete;
    XPacketBuffer& operator=(const XPacketBuffer&) = delete;

    // Stores the first min(len, 1024) bytes of data (nothing for a null data or len < 0) and
    // the direction; returns the stored length.
    int save(const char* data, int len, int direction = 0);
    // Copies min(size, stored length) bytes into buf (nothing for a null buf or size < 0);
    // returns that number.
    int get(char* buf, int size) const;
    int length() const { return m_length; }
    int direction() const { return m_direction; }

private:
    char* m_data;
    int m_length = 0;
    int m_direction = 0;
};
