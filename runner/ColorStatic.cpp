#include "runner/ColorStatic.h"

#include <QPalette>

namespace runner {

QColor ColourForCode(int code) {
    switch (code) {
        case 1: return QColor(180, 0, 0);
        case 2: return QColor(0, 180, 0);
        case 3: return QColor(0, 0, 180);
        default: return QPalette().color(QPalette::WindowText);
    }
}

CColorStatic::CColorStatic(QWidget* parent) : QLabel(parent), m_colour(ColourForCode(0)) {
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
    setMinimumWidth(50);
}

void CColorStatic::SetText(const QString& text, int colourCode, bool bold) {
    if (text == m_text) return;
    m_text = text;
    m_colour = ColourForCode(colourCode);
    m_bBold = bold;
    Render();
}

void CColorStatic::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    Render();
}

void CColorStatic::Render() {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, m_colour);
    setPalette(p);
    QFont f = font();
    f.setWeight(m_bBold ? QFont::Bold : QFont::Normal);
    setFont(f);
    // Long paths lose their middle, as the window's path fields do.
    setText(m_bPathEllipsis ? fontMetrics().elidedText(m_text, Qt::ElideMiddle, width()) : m_text);
}

}  // namespace runner
