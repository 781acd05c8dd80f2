#pragma once

#include "views/PlaceholderPane.h"

#include <cstdint>

namespace orvane {

// The side panel with one address's figures (paints its background for now).
class DetailPanel : public PlaceholderPane {
    Q_OBJECT
public:
    explicit DetailPanel(QWidget* parent = nullptr);

    // Which list the panel follows (0-2) and the list's argument.
    void follow(int listKind, long long argument);
    // The time since the previous tick, for its rate curves.
    void feed(std::uint32_t elapsedMs);
    int listKind() const { return m_listKind; }

private:
    int m_listKind = 0;
    long long m_argument = 0;
};

} // namespace orvane
