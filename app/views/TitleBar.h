#pragma once

#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

namespace orvane {

class TickFeed;
struct TickSnapshot;

// The skinned caption of the main window: logo, the minimise, maximise/restore and close
// buttons with hover images, and the online-help and About links. It turns clicks into
// requests to the frame and presses on the bar into a window drag; a double click outside
// the buttons toggles maximise.
class TitleBar : public QWidget {
    Q_OBJECT
public:
    enum Button { NoButton = 0, MinimizeButton = 1, MaximizeButton = 2, CloseButton = 3 };

    explicit TitleBar(const TickFeed& ticks, QWidget* parent = nullptr);

    // The view clears the links while the window comes back from the tray, so that the click
    // that brought it back cannot open a link; the next tick of a visible window sets them
    // again.
    void setLinksEnabled(bool enabled) { m_linksEnabled = enabled; }
    bool linksEnabled() const { return m_linksEnabled; }
    // How the frame stands; the maximise button then asks for restore.
    void setFrameMaximized(bool maximized) { m_frameMaximized = maximized; }
    // The engine's event source, for the About box (the engine's own short text).
    void setEventSource(const QString& source) { m_eventSource = source; }

    // Where the parts sit at the current width (empty rectangles when not shown).
    QRect buttonRect(Button button) const;
    QRect helpRect() const { return m_helpRect; }
    QRect aboutRect() const { return m_aboutRect; }
    QRect logoRect() const { return m_logoRect; }
    Button hoverButton() const { return m_hover; }

signals:
    void closeRequested();
    void minimizeRequested();
    void maximizeRequested();
    void restoreRequested();
    void onlineHelpRequested();
    // A press on the bar that became a drag (global positions).
    void dragStarted(QPoint global);
    void dragMoved(QPoint global);
    void dragEnded();
    // A right click on the bar: the program's menu.
    void menuRequested(QPoint global);

public slots:
    void showTick(const orvane::TickSnapshot& snapshot);

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void layoutParts();
    Button buttonAt(QPoint pos) const;
    bool onLink(QPoint pos) const;
    void setHover(Button button);
    void toggleMaximize();
    void runAbout();
    const QPixmap& pixmapOf(Button button, bool hover) const;

    QPixmap m_logo;
    QPixmap m_normal[4];
    QPixmap m_hovered[4];
    QRect m_buttons[4];
    QRect m_logoRect;
    QRect m_helpRect;
    QRect m_aboutRect;
    QFont m_linkFont;
    QString m_eventSource;
    Button m_hover = NoButton;
    bool m_linksEnabled = true;
    bool m_frameMaximized = false;
    bool m_pressed = false;
    bool m_dragging = false;
    QPoint m_pressGlobal;
};

} // namespace orvane
