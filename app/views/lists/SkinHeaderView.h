#pragma once

#include <QColor>
#include <QFont>
#include <QHeaderView>

namespace orvane {

// The column header of every skinned list: a green band with a one-pixel frame, column
// separators and centred captions, 20 pixels high.
class SkinHeaderView : public QHeaderView {
    Q_OBJECT
public:
    static constexpr int kHeight = 20;

    explicit SkinHeaderView(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QColor textColour() const { return m_text; }
    // The font the captions are painted in.
    const QFont& captionFont() const { return m_font; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QFont m_font;
    QColor m_text;
};

} // namespace orvane
