#pragma once

#include <QString>

namespace orvane {

// The message boxes of start-up. Tests record them instead of showing them.
class Notices {
public:
    virtual ~Notices() = default;
    // A warning the program carries on after; it does not wait for the user.
    virtual void warn(const QString& text) = 0;
    // A warning after which this copy ends; it waits for the user's OK.
    virtual void refuse(const QString& text) = 0;
};

// Qt message boxes captioned with the product name.
class MessageBoxNotices : public Notices {
public:
    void warn(const QString& text) override;
    void refuse(const QString& text) override;
};

} // namespace orvane
