#pragma once

#include <QPixmap>
#include <QPoint>
#include <QWidget>

namespace orvane {

// The small always-on-top strip shown while the main window is away. For now it paints its
// background image; a right click asks for the program's menu and a double click brings the
// main window back.
class FloatingWindow : public QWidget {
    Q_OBJECT
public:
    explicit FloatingWindow(QWidget* parent = nullptr);

    // Whether the user switched the strip on; a disallowed strip never shows.
    void setAllowed(bool allowed);
    bool allowed() const { return m_allowed; }
    // Shows the strip when allowed.
    void showIfAllowed();
    // New figures arrived (every tick).
    void refreshNow();

signals:
    void menuRequested(QPoint global);
    void showMainRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QPixmap m_background;
    bool m_allowed = false;
};

} // namespace orvane
