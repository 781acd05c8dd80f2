#pragma once

#include <QWidget>

class QLineEdit;

namespace orvane {

// The find field above the traffic lists: a line edit in the skin's status colours and, while
// it holds text, the count of the rows it lets through ("n of m"). Escape clears it. GUI
// thread only.
class FindField : public QWidget {
    Q_OBJECT
public:
    explicit FindField(QWidget* parent = nullptr);

    QString text() const;
    // Sets the text without announcing it (the current list changed).
    void setTextQuietly(const QString& text);
    // Puts the keyboard into the field with its text selected (Ctrl+F).
    void focusField();
    void showCount(int shown, int total);
    // What the count reads, empty while the field is empty.
    const QString& countText() const { return m_count; }
    QLineEdit* edit() const { return m_edit; }

signals:
    void textChanged(const QString& text);
    // Escape in the field: the text is cleared and the keyboard goes back to the list.
    void dismissed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void loadSkin();
    QRect countRect() const;

    QLineEdit* m_edit;
    QString m_count;
    QColor m_background;
    QColor m_countColor;
    QFont m_font;
    int m_shown = 0;
    int m_total = 0;
};

} // namespace orvane
