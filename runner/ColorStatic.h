#pragma once

#include <QColor>
#include <QLabel>

namespace runner {

// A label whose text comes with a colour code (1 dark red, 2 dark green,
// 3 dark blue, else the window text colour) and a weight. Setting the text
// it already shows changes nothing, not even colour or weight.
class CColorStatic : public QLabel {
public:
    explicit CColorStatic(QWidget* parent = nullptr);

    void SetText(const QString& text, int colourCode, bool bold);
    void SetPathEllipsis(bool on) { m_bPathEllipsis = on; }
    QString FullText() const { return m_text; }
    QColor TextColour() const { return m_colour; }
    bool Bold() const { return m_bBold; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Render();

    QString m_text;
    QColor m_colour;
    bool m_bBold = false;
    bool m_bPathEllipsis = false;
};

QColor ColourForCode(int code);

}  // namespace runner
