#pragma once

#include <QColor>
#include <QWidget>

namespace orvane {

// A pane that paints its background only. The panes of the main view that are not built
// yet derive from it, keep the interface the view calls, and paint nothing else.
class PlaceholderPane : public QWidget {
    Q_OBJECT
public:
    explicit PlaceholderPane(QColor background, QWidget* parent = nullptr);

    QColor background() const { return m_background; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_background;
};

} // namespace orvane
